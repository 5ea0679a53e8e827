# Builds the extension module lumora._core with the project's CMake build
# (core only: no Qt, no tests), for the interpreter that runs this script.
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target_dir = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DLUMORA_BUILD_GUI=OFF", "-DLUMORA_BUILD_TESTS=OFF", "-DLUMORA_BUILD_BENCH=OFF",
            "-DPython3_EXECUTABLE=" + sys.executable,
            "-DLUMORA_PYTHON_OUTPUT_DIR=" + str(target_dir),
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_core", "-j", jobs], check=True)


setup(
    ext_modules=[CMakeExtension("lumora._core")],
    cmdclass={"build_ext": CMakeBuild},
    # Keep setuptools' folders apart from the CMake preset folders (build/).
    options={"build": {"build_base": "build-python"}},
)
