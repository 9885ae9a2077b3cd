#include "tags/byte_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/file_io.h"

namespace lirotag {

bool MemorySource::ReadAt(uint64_t offset, size_t n, std::string* out) {
  if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
  out->assign(bytes_.data() + offset, n);
  return true;
}

namespace {

// Small reads (headers, sizes, short texts) come from a window read ahead, so a reader
// may take a few bytes at a time without a system call each; large ones go straight to
// the file and are never copied twice.
constexpr size_t kWindowBytes = 16 * 1024;

class FileSource : public ByteSource {
 public:
  FileSource(std::FILE* f, uint64_t size) : f_(f), size_(size) {}
  ~FileSource() override { std::fclose(f_); }
  uint64_t Size() const override { return size_; }

  bool ReadAt(uint64_t offset, size_t n, std::string* out) override {
    if (offset > size_ || n > size_ - offset) return false;
    if (offset >= window_at_ && offset + n <= window_at_ + window_.size()) {
      out->assign(window_.data() + (offset - window_at_), n);
      return true;
    }
    if (n >= kWindowBytes) {
      out->resize(n);
      return Raw(offset, out->data(), n);
    }
    const size_t fill = static_cast<size_t>(std::min<uint64_t>(kWindowBytes, size_ - offset));
    window_.resize(fill);
    if (!Raw(offset, window_.data(), fill)) {
      window_.clear();
      return false;
    }
    window_at_ = offset;
    out->assign(window_.data(), n);
    return true;
  }

 private:
  bool Raw(uint64_t offset, char* dst, size_t n) {
#ifdef _WIN32
    if (_fseeki64(f_, static_cast<long long>(offset), SEEK_SET) != 0) return false;
#else
    if (fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
    return std::fread(dst, 1, n, f_) == n;
  }

  std::FILE* f_;
  uint64_t size_;
  std::string window_;
  uint64_t window_at_ = 0;
};

}  // namespace

bool OpenFileSource(const std::string& path, std::unique_ptr<ByteSource>* source,
                    std::string* err) {
  namespace fs = std::filesystem;
  const fs::path p = PathFromUtf8(path);
  std::error_code ec;
  const fs::file_status st = fs::status(p, ec);
  if (!fs::exists(st)) {
    *err = ec && ec != std::errc::no_such_file_or_directory ? ec.message() : "no such file";
    return false;
  }
  if (fs::is_directory(st)) {
    *err = "a directory";
    return false;
  }
  // A pipe or a device has no size to check against and might never end.
  if (!fs::is_regular_file(st)) {
    *err = "not a regular file";
    return false;
  }
#ifdef _WIN32
  std::FILE* f = _wfopen(p.c_str(), L"rb");
#else
  std::FILE* f = std::fopen(p.c_str(), "rb");
#endif
  if (!f) {
    *err = errno == EACCES ? "permission denied" : std::strerror(errno);
    return false;
  }
  std::setvbuf(f, nullptr, _IONBF, 0);
  const uint64_t size = fs::file_size(p, ec);
  if (ec) {
    std::fclose(f);
    *err = ec.message();
    return false;
  }
  *source = std::make_unique<FileSource>(f, size);
  return true;
}

ByteReader::ByteReader(ByteSource& src, uint64_t pos, uint64_t end) : src_(src) {
  end_ = std::min(end, src.Size());
  pos_ = std::min(pos, end_);
}

bool ByteReader::Seek(uint64_t pos) {
  if (pos > end_) return false;
  pos_ = pos;
  return true;
}

bool ByteReader::Skip(uint64_t n) {
  if (n > Remaining()) return false;
  pos_ += n;
  return true;
}

bool ByteReader::Read(uint64_t n, std::string* out) {
  if (n > Remaining() || !src_.ReadAt(pos_, static_cast<size_t>(n), out)) return false;
  pos_ += n;
  return true;
}

ByteReader ByteReader::Take(uint64_t n) {
  n = std::min(n, Remaining());
  ByteReader sub(src_, pos_, pos_ + n);
  pos_ += n;
  return sub;
}

bool ByteReader::Bytes(size_t n, unsigned char* out) {
  std::string b;
  if (!Read(n, &b)) return false;
  std::memcpy(out, b.data(), n);
  return true;
}

bool ByteReader::U8(uint8_t* v) {
  return Bytes(1, v);
}

bool ByteReader::U16LE(uint16_t* v) {
  unsigned char b[2];
  if (!Bytes(2, b)) return false;
  *v = static_cast<uint16_t>(b[0] | b[1] << 8);
  return true;
}

bool ByteReader::U32LE(uint32_t* v) {
  unsigned char b[4];
  if (!Bytes(4, b)) return false;
  *v = ReadLE32(std::string_view(reinterpret_cast<char*>(b), 4), 0);
  return true;
}

bool ByteReader::U32BE(uint32_t* v) {
  unsigned char b[4];
  if (!Bytes(4, b)) return false;
  *v = ReadBE32(std::string_view(reinterpret_cast<char*>(b), 4), 0);
  return true;
}

bool ByteReader::U64LE(uint64_t* v) {
  uint32_t lo, hi;
  if (!U32LE(&lo) || !U32LE(&hi)) return false;
  *v = uint64_t{hi} << 32 | lo;
  return true;
}

bool ByteReader::U64BE(uint64_t* v) {
  uint32_t hi, lo;
  if (!U32BE(&hi) || !U32BE(&lo)) return false;
  *v = uint64_t{hi} << 32 | lo;
  return true;
}

uint32_t ReadBE32(std::string_view b, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

uint32_t ReadLE32(std::string_view b, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

}  // namespace lirotag
