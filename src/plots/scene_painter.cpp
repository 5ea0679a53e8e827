#include "plots/scene_painter.hpp"

#include <cmath>

namespace lumora {

QColor ToQColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

void PaintScene(QPainter& painter, const PlotScene& scene, double pixelsPerTwip) {
  const QRectF area(0, 0, scene.width * pixelsPerTwip, scene.height * pixelsPerTwip);
  painter.fillRect(area, ToQColor(scene.background));
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(scene.labelPoints);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  auto drawLabel = [&](const SceneLabel& label) {
    painter.setPen(ToQColor(label.color));
    painter.drawText(QPointF(label.x * pixelsPerTwip, label.y * pixelsPerTwip + metrics.ascent()),
                     QString::fromStdString(label.text));
  };
  ForEachInOrder(
      scene,
      [&](const SceneCircle& c) {
        painter.setPen(ToQColor(c.outline));
        if (c.transparentFill) painter.setBrush(Qt::NoBrush);
        else painter.setBrush(ToQColor(c.fill));
        const double r = c.radius * pixelsPerTwip;
        painter.drawEllipse(QPointF(c.x * pixelsPerTwip, c.y * pixelsPerTwip), r, r);
      },
      drawLabel);
  for (const SceneLabel& label : scene.legend) drawLabel(label);
}

QImage RenderScene(const PlotScene& scene) {
  const int w = static_cast<int>(std::lround(scene.width / kTwipsPerPixel));
  const int h = static_cast<int>(std::lround(scene.height / kTwipsPerPixel));
  QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintScene(painter, scene, 1.0 / kTwipsPerPixel);
  return image;
}

}  // namespace lumora
