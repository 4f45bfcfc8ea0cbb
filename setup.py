"""Builds the Python package tav with CMake, for the interpreter that runs this.

`pip install .` (with `--no-build-isolation` where no package index can be
reached) configures the project's CMake build with that interpreter as
Python3_EXECUTABLE, builds the extension tav._tav and the libraries it links,
installs both into a scratch prefix (CMake sets their run paths there) and
puts the extension with libtav, libztcimg and libztbase beside it into the
package: the extension finds them through its run path $ORIGIN.

Environment:
  TAV_BUILD_DIR   an existing CMake build tree to build in and take the files
                  from instead of a new one (it must have been configured for
                  an interpreter of this version, as `make build` is for
                  /usr/bin/python3); nothing else is compiled then.
  CMAKE_ARGS      further arguments for configuring a new build tree, e.g.
                  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
BUILD_BASE = "build-pip"  # not build/, which is the CMake build tree of `make`


def project_version():
    """The version of project() in CMakeLists.txt: the project's one version."""
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"^project\(tav VERSION (\d+\.\d+\.\d+)", text, re.MULTILINE)
    if not found:
        raise RuntimeError("CMakeLists.txt: no project(tav VERSION x.y.z)")
    return found.group(1)


def cache_value(build_dir, name):
    """A variable of a CMake build tree's cache."""
    for line in (build_dir / "CMakeCache.txt").read_text().splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1]
    raise RuntimeError(f"{build_dir}: {name} is not in the CMake cache")


class CMakeBuild(build_ext):
    """Builds tav._tav through CMake and copies it with its libraries."""

    def run(self):
        for ext in self.extensions:
            self.build_with_cmake(ext)

    def cmake(self, *args):
        print("cmake", *args, flush=True)
        subprocess.run(["cmake", *map(str, args)], check=True)

    def build_with_cmake(self, ext):
        build_dir = os.environ.get("TAV_BUILD_DIR")
        if build_dir:
            build_dir = Path(build_dir).resolve()
        else:
            build_dir = Path(self.build_temp).resolve() / "cmake"
            self.cmake("-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                       f"-DPython3_EXECUTABLE={sys.executable}", "-DTAV_BUILD_TESTS=OFF",
                       "-DTAV_BUILD_BENCH=OFF", *shlex.split(os.environ.get("CMAKE_ARGS", "")))
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        self.cmake("--build", build_dir, "--target", "tav_python", "tav_package_docs", "--parallel", jobs)

        # The installed copies carry the run paths relative to $ORIGIN.
        prefix = Path(self.build_temp).resolve() / "prefix"
        shutil.rmtree(prefix, ignore_errors=True)
        for component in ("libs", "python"):
            self.cmake("--install", build_dir, "--prefix", prefix, "--component", component, "--strip")

        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        built = prefix / cache_value(build_dir, "TAV_PYTHON_INSTALL_DIR") / "tav" / ("_tav" + suffix)
        if not built.is_file():
            raise RuntimeError(f"{build_dir} has no {built.name}: it was configured for another Python than "
                               f"{sys.executable}; leave TAV_BUILD_DIR unset to build for this one")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)
        # Each library once, under its SONAME (a wheel holds no symbolic links);
        # none left from an earlier build, of another version.
        for old in target.parent.glob("lib*.so.*"):
            old.unlink()
        libdir = prefix / cache_value(build_dir, "CMAKE_INSTALL_LIBDIR")
        for lib in libdir.iterdir():
            if re.fullmatch(r"lib\w+\.so\.\d+", lib.name):
                shutil.copyfile(lib.resolve(), target.parent / lib.name)


os.makedirs(ROOT / BUILD_BASE, exist_ok=True)
setup(
    version=project_version(),
    packages=["tav"],
    package_dir={"tav": "python/tav"},
    package_data={"tav": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("tav._tav", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": BUILD_BASE}, "egg_info": {"egg_base": BUILD_BASE}},
    zip_safe=False,
)
