#pragma once

// Every tag reader takes its bytes from a ByteSource: a file on disk, or bytes in memory
// for tests and fuzzers. The size is the real one, so a reader can check each size it
// finds in the data against what is left before it believes it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lirotag {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Exactly `n` bytes from `offset` into `*out`, or false (nothing promised in `*out`)
  // when they do not all lie within the source or the read fails.
  virtual bool ReadAt(uint64_t offset, size_t n, std::string* out) = 0;
};

// Borrowed bytes; the caller keeps them alive.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, size_t n, std::string* out) override;

 private:
  std::string_view bytes_;
};

// Opens a regular file for reading (path in UTF-8). On failure `*err` says why in a few
// words: "no such file", "a directory", "not a regular file", "permission denied" …
bool OpenFileSource(const std::string& path, std::unique_ptr<ByteSource>* source, std::string* err);

// Runs `read` on the file at `path`; false when the file cannot be opened.
template <class Read>
bool WithFileSource(const std::string& path, Read read) {
  std::unique_ptr<ByteSource> src;
  std::string err;
  return OpenFileSource(path, &src, &err) && read(*src);
}

// A position in a source and the reads readers need, each refusing to go past `end`
// (the source's size unless narrowed), so a damaged size can never make a reader read,
// allocate or loop beyond the bytes that are really there. Multi-byte integers are named
// by their byte order: BE big-endian, LE little-endian.
class ByteReader {
 public:
  explicit ByteReader(ByteSource& src) : src_(src), end_(src.Size()) {}
  ByteReader(ByteSource& src, uint64_t pos, uint64_t end);

  uint64_t Pos() const { return pos_; }
  uint64_t End() const { return end_; }
  uint64_t Remaining() const { return end_ - pos_; }
  bool Seek(uint64_t pos);
  bool Skip(uint64_t n);
  bool Read(uint64_t n, std::string* out);
  bool U8(uint8_t* v);
  bool U16LE(uint16_t* v);
  bool U32LE(uint32_t* v);
  bool U64LE(uint64_t* v);
  bool U32BE(uint32_t* v);
  bool U64BE(uint64_t* v);
  // A sub-reader over the next `n` bytes (cut to what remains); this one moves past them.
  ByteReader Take(uint64_t n);

 private:
  bool Bytes(size_t n, unsigned char* out);

  ByteSource& src_;
  uint64_t pos_ = 0;
  uint64_t end_;
};

uint32_t ReadBE32(std::string_view b, size_t at);
uint32_t ReadLE32(std::string_view b, size_t at);

}  // namespace lirotag
