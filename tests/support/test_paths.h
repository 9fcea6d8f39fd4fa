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
// Text in a narrow code page (UTF-8 unless another is named, 0 for the ANSI
// code page).
std::string Narrow(const std::wstring& text, unsigned codePage = 65001);
// The whole file; false (and no bytes) when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);
// The whole file; fails the current test when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
// The 12-byte directory entry with the given tag in a JPEG XR file's bytes
// (tag, type, count, value or offset), or null when there is none.
std::uint8_t* DirectoryEntry(std::vector<std::uint8_t>& bytes, std::uint16_t tag);
// Where the image header ("WMPHOTO", with at least 16 bytes) starts in those
// bytes; the size of the bytes when there is none.
std::size_t ImageHeaderOffset(const std::vector<std::uint8_t>& bytes);
// Writes a whole file anew; false when it cannot be created or written.
bool WriteFileBytes(const std::wstring& path, const void* data, std::size_t size);
// Writes bytes to a file of that name in ScratchDirectory(); returns its path.
std::wstring WriteScratchFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes);
// A fresh folder for a test's own files (deleted by nobody: it lives in the
// build folder's temp area).
std::wstring ScratchDirectory();

}  // namespace testing_support
