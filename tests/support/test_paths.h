#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// The plug-in module under test (Rorurera.spi or Rorurera.sph), as a Windows
// path: the build's own, or the one RORURERA_TEST_MODULE names.
std::wstring ModulePath();
// The module's file name alone.
std::wstring ModuleFileName();
// A generated test image in the build folder.
std::wstring FixturePath(const std::wstring& name);
std::string FixturePathA(const std::string& name);
// The whole file; fails the current test when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
// A fresh folder for a test's own files (deleted by nobody: it lives in the
// build folder's temp area).
std::wstring ScratchDirectory();

constexpr int kBits = sizeof(void*) * 8;

}  // namespace testing_support
