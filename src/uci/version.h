// The engine's name and version as GUIs show them. The version is CMake's project version, passed in
// by the build, so the identification, `--version` and the package can never disagree.
#pragma once

#ifndef QUORVANE_VERSION
#error "QUORVANE_VERSION comes from the build (the project version in CMakeLists.txt)"
#endif

inline constexpr const char* kEngineId = "Quorvane " QUORVANE_VERSION;
