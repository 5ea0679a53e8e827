#include "intensity/form_factors.hpp"

#include <xraylib.h>

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace lumora {
namespace {

// Takes the message out of an xraylib error and frees it.
void ThrowIfError(xrl_error* error, const std::string& what) {
  if (!error) return;
  const std::string message = error->message ? error->message : "unknown error";
  xrl_error_free(error);
  throw std::runtime_error(what + ": " + message);
}

}  // namespace

std::optional<int> AtomicNumberOf(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 3) return std::nullopt;
  std::string s(symbol);
  s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  for (std::size_t i = 1; i < s.size(); ++i) s[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
  xrl_error* error = nullptr;
  const int z = SymbolToAtomicNumber(s.c_str(), &error);
  if (error) {
    xrl_error_free(error);
    return std::nullopt;
  }
  if (z < 1) return std::nullopt;
  return z;
}

std::string ElementSymbol(int z) {
  xrl_error* error = nullptr;
  char* symbol = AtomicNumberToSymbol(z, &error);
  ThrowIfError(error, "element " + std::to_string(z));
  std::string out = symbol ? symbol : "";
  xrlFree(symbol);
  return out;
}

double FormFactorF0(int z, double s) {
  xrl_error* error = nullptr;
  const double f0 = s == 0.0 ? static_cast<double>(z) : FF_Rayl(z, s, &error);
  ThrowIfError(error, "form factor of element " + std::to_string(z));
  return f0;
}

std::complex<double> AnomalousTerms(int z, double wavelength) {
  const double energy = kHcKeVAngstrom / wavelength;
  xrl_error* error = nullptr;
  const double f1 = Fi(z, energy, &error);
  ThrowIfError(error, "anomalous term f' of element " + std::to_string(z));
  const double f2 = Fii(z, energy, &error);
  ThrowIfError(error, "anomalous term f'' of element " + std::to_string(z));
  // xraylib gives the absorptive term with the opposite sign (Fii < 0).
  return {f1, -f2};
}

FormFactorTable::FormFactorTable(int z, double wavelength, double sMax) : z_(z) {
  anomalous_ = AnomalousTerms(z, wavelength);
  const std::size_t count = static_cast<std::size_t>(std::ceil(std::max(sMax, 0.0) * kInverseStep)) + 2;
  f0_.resize(count);
  for (std::size_t i = 0; i < count; ++i) f0_[i] = FormFactorF0(z, static_cast<double>(i) * kStep);
}

}  // namespace lumora
