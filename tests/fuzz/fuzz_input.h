#pragma once

// The fuzzer's inputs: the generated test images as a corpus and the
// mutations applied to them. Input number i of a run is made from the run's
// seed and i alone, so any input can be made again, in any process, without
// the others.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_random.h"

namespace testing_support {

enum class Mutation : int {
    Truncate,       // cut at one offset
    BitFlip,        // flip 1 to 32 bits
    RandomBytes,    // overwrite, insert or delete bytes at random places
    ContainerTags,  // damage the container's directory (IFD) and its entries
    Dimensions,     // huge width / height in the image header (and the IFD)
    Profile,        // the embedded ICC profile (tag 0x8773): header, tag table, tag data, its length
    Count
};
const char* MutationName(Mutation mutation);

struct CorpusFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
    unsigned weight = 0;
    // Wine's decoder leaks on every decode of this file, unchanged (the same
    // calls straight to the imaging component leak the same): left out of
    // the clean rounds that measure the whole process.
    bool platformLeaks = false;
};

class Corpus {
public:
    // Reads the test images from the fixtures folder; false (with the name of
    // the first missing file in *missing) when one cannot be read.
    bool Load(std::string* missing);
    const std::vector<CorpusFile>& Files() const { return files_; }
    const CorpusFile& Pick(Random& random) const;

private:
    std::vector<CorpusFile> files_;
    unsigned totalWeight_ = 0;
};

struct Input {
    std::uint64_t index = 0;
    const CorpusFile* base = nullptr;
    Mutation mutation = Mutation::Truncate;
    std::string detail;  // what was done, for reports
    std::vector<std::uint8_t> bytes;
};

Input MakeInput(const Corpus& corpus, std::uint64_t runSeed, std::uint64_t index);

// The container layout as far as the mutators need it (little-endian TIFF-like
// header "II\xBC\x01", one IFD of 12-byte entries, codestreams that start with
// "WMPHOTO\0").
struct IfdEntry {
    std::size_t at = 0;  // offset of the entry in the file
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint32_t value = 0;
};
struct Layout {
    bool container = false;     // the header's magic is there
    std::size_t ifdOffset = 0;  // 0 when the directory is not inside the file
    std::vector<IfdEntry> entries;
    std::vector<std::size_t> codestreams;  // offsets of "WMPHOTO\0"
};
Layout ReadLayout(const std::vector<std::uint8_t>& bytes);

// Image header of a codestream at `at`: width and height, as stored (the
// header keeps width-1 and height-1, 16 bits each in the short form, 32 bits
// each otherwise). False when the header is cut off.
bool ReadDimensions(const std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t& width, std::uint64_t& height,
                    bool& shortHeader);
// Writes width and height (1 to 2^32) into the codestream's header, turning a
// short header into a long one (4 bytes longer) when a value needs it, and
// moves the directory's offsets and byte counts that the insertion shifts.
bool WriteDimensions(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t width, std::uint64_t height,
                     bool forceLongHeader);

}  // namespace testing_support
