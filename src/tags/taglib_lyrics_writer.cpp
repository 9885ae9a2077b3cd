#include "tags/taglib_lyrics_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "tags/embedded_lyrics.h"
#include "tags/song_tags.h"

namespace lirotag {

namespace {

using TagLib::String;

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

bool IsNoSpace(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Copies the song's bytes to the open `out`, then makes them durable.
EmbedError CopyBytes(const std::string& from, int out) {
  Fd in{open(from.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) return EmbedError::kWriteFailed;
  static constexpr size_t kChunk = 1 << 20;
  auto buf = std::make_unique<char[]>(kChunk);
  for (;;) {
    const ssize_t n = read(in.fd, buf.get(), kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return EmbedError::kWriteFailed;
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buf.get() + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return IsNoSpace(errno) ? EmbedError::kNoSpace : EmbedError::kWriteFailed;
      done += w;
    }
  }
  if (fsync(out) != 0) return IsNoSpace(errno) ? EmbedError::kNoSpace : EmbedError::kWriteFailed;
  return EmbedError::kNone;
}

void SetXiphLyrics(TagLib::Ogg::XiphComment* comment, const String& text) {
  comment->removeFields("UNSYNCEDLYRICS");
  comment->addField("LYRICS", text, true);
}

// Saves the lyric into the file at `path` (the copy) by the song's type.
bool TagCopy(const char* path, LyricsFormat format, std::string_view ext, std::string_view oggHead,
             const String& text) {
  switch (format) {
    case LyricsFormat::kNone:
      return false;
    case LyricsFormat::kId3v2: {
      TagLib::MPEG::File f(path, false);
      if (!f.isValid()) return false;
      const bool had = f.hasID3v2Tag();
      TagLib::ID3v2::Tag* tag = f.ID3v2Tag(true);
      // The tag's own version stays; version 2.2, which nothing writes any more, and a new
      // tag become 2.4, the version whose UTF-8 every current player reads.
      const bool v3 = had && tag->header()->majorVersion() == 3;
      tag->removeFrames("USLT");
      tag->removeFrames("SYLT");
      const TagLib::ID3v2::FrameList user = tag->frameList("TXXX");  // removal changes the tag's
      for (TagLib::ID3v2::Frame* f : user) {
        auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(f);
        const String name = text ? text->description().upper() : String();
        if (name == "USLT" || name == "LYRICS" || name == "UNSYNCEDLYRICS") tag->removeFrame(f);
      }
      auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(v3 ? String::UTF16 : String::UTF8);
      frame->setLanguage("und");
      frame->setText(text);
      tag->addFrame(frame);
      // An APE tag is rewritten only to take its own lyric out; otherwise it stays as it is.
      int which = TagLib::MPEG::File::ID3v2;
      if (f.hasAPETag() && f.APETag()->itemListMap().contains("LYRICS")) {
        f.APETag()->removeItem("LYRICS");
        which |= TagLib::MPEG::File::APE;
      }
      return f.save(which, TagLib::File::StripNone, v3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4,
                    TagLib::File::DoNotDuplicate);
    }
    case LyricsFormat::kFlac: {
      TagLib::FLAC::File f(path, false);
      if (!f.isValid()) return false;
      SetXiphLyrics(f.xiphComment(true), text);
      return f.save();
    }
    case LyricsFormat::kOgg: {
      if (oggHead.starts_with("\x01vorbis")) {
        TagLib::Ogg::Vorbis::File f(path, false);
        if (!f.isValid()) return false;
        SetXiphLyrics(f.tag(), text);
        return f.save();
      }
      TagLib::Ogg::Opus::File f(path, false);
      if (!f.isValid()) return false;
      SetXiphLyrics(f.tag(), text);
      return f.save();
    }
    case LyricsFormat::kMp4: {
      TagLib::MP4::File f(path, false);
      if (!f.isValid() || !f.tag()) return false;
      f.tag()->removeItem("----:com.apple.iTunes:LYRICS");
      f.tag()->setItem(String("\251lyr", String::Latin1), TagLib::StringList(text));
      return f.save();
    }
    case LyricsFormat::kAsf: {
      TagLib::ASF::File f(path, false);
      if (!f.isValid() || !f.tag()) return false;
      f.tag()->setAttribute("WM/Lyrics", TagLib::ASF::Attribute(text));
      return f.save();
    }
    case LyricsFormat::kApe: {
      auto put = [&](auto& f) {
        if (!f.isValid()) return false;
        f.APETag(true)->addValue("Lyrics", text, true);
        return f.save();
      };
      if (ext == "WV") {
        TagLib::WavPack::File f(path, false);
        return put(f);
      }
      if (ext == "APE") {
        TagLib::APE::File f(path, false);
        return put(f);
      }
      TagLib::MPC::File f(path, false);
      return put(f);
    }
  }
  return false;
}

// Copies of this song that a killed or powered-off write left behind.
void RemoveLeftovers(const std::string& dir, const std::string& prefix) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = readdir(d)) {
    const std::string_view name = e->d_name;
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
      unlink((dir + std::string(name)).c_str());
  }
  closedir(d);
}

bool ReadOnly(const std::string& path, const struct stat& st, const std::string& dir) {
  // Root may write anything, but a song marked read-only is meant to stay as it is.
  return (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0 ||
         access(dir.c_str(), W_OK | X_OK) != 0;
}

bool LittleRoomLeft(const std::string& dir, uint64_t need) {
  struct statvfs vfs;
  return statvfs(dir.c_str(), &vfs) == 0 &&
         static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize < need + (1 << 20);
}

bool Verified(const std::string& song, const std::string& copy, LyricsFormat format,
              const std::string& want) {
  std::string got;
  bool same = false;
  const bool read = WithFileSource(copy, [&](ByteSource& c) {
    return ReadEmbeddedLyrics(c, format, &got) && WithFileSource(song, [&](ByteSource& s) {
             same = SameAudioPayload(s, c, format);
             return true;
           });
  });
  return read && same && got == want;
}

}  // namespace

EmbedError WriteLyricsWithTagLib(const std::string& songPath, std::string_view lyrics) {
  const std::string text = UnixLineEnds(lyrics);
  if (text.find_first_not_of(" \t\n") == std::string::npos) return EmbedError::kEmpty;
  const LyricsFormat format = LyricsFormatOf(songPath);
  if (format == LyricsFormat::kNone) return EmbedError::kUnsupported;
  char real[PATH_MAX];
  struct stat st;
  if (!realpath(songPath.c_str(), real) || stat(real, &st) != 0 || !S_ISREG(st.st_mode))
    return EmbedError::kNotFound;
  const std::string song = real;
  const size_t slash = song.rfind('/');
  const std::string dir = song.substr(0, slash + 1);
  const std::string ext = AsciiUpper(songPath.substr(songPath.rfind('.') + 1));
  std::string ogg_head;
  if (format == LyricsFormat::kOgg) {
    WithFileSource(song, [&](ByteSource& src) {
      ogg_head = OggFirstPacketHead(src, 8);
      return true;
    });
    // Ogg FLAC is left out: TagLib 1.13 writes its comment block without the flag that
    // ends the metadata, which breaks the stream for readers that go by it.
    if (!ogg_head.starts_with("\x01vorbis") && !ogg_head.starts_with("OpusHead"))
      return EmbedError::kUnsupported;
  }
  if (ReadOnly(song, st, dir)) return EmbedError::kReadOnly;

  // A hidden name in the song's folder, so that the rename stays on one file system.
  const std::string prefix = "." + song.substr(slash + 1) + ".lirotag-";
  RemoveLeftovers(dir, prefix);
  std::string copy = dir + prefix + "XXXXXX";
  Fd out{mkstemp(copy.data())};
  if (out.fd < 0)
    return IsNoSpace(errno)                    ? EmbedError::kNoSpace
           : errno == EACCES || errno == EROFS ? EmbedError::kReadOnly
                                               : EmbedError::kWriteFailed;
  EmbedError result = CopyBytes(song, out.fd);
  if (result == EmbedError::kNone &&
      !TagCopy(copy.c_str(), format, ext, ogg_head, String(text, String::UTF8))) {
    result = LittleRoomLeft(dir, st.st_size) ? EmbedError::kNoSpace : EmbedError::kWriteFailed;
  }
  if (result == EmbedError::kNone && !Verified(song, copy, format, text)) {
    result = LittleRoomLeft(dir, st.st_size) ? EmbedError::kNoSpace : EmbedError::kCheckFailed;
  }
  if (result == EmbedError::kNone) {
    // The song's owner and mode go to the copy (the owner only where we may give it).
    [[maybe_unused]] const int owned = fchown(out.fd, st.st_uid, st.st_gid);
    if (fchmod(out.fd, st.st_mode & 07777) != 0 || fsync(out.fd) != 0) {
      result = EmbedError::kWriteFailed;
    } else if (rename(copy.c_str(), song.c_str()) != 0) {
      result = errno == EACCES || errno == EROFS ? EmbedError::kReadOnly : EmbedError::kWriteFailed;
    } else {
      Fd folder{open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
      if (folder.fd >= 0) fsync(folder.fd);  // the rename itself survives a power cut
      return EmbedError::kNone;
    }
  }
  unlink(copy.c_str());
  return result;
}

}  // namespace lirotag

extern "C" __attribute__((visibility("default"))) const void* lirotag_tag_writer_module(
    int version) {
  static constexpr lirotag::TagWriterModule kModule = {&lirotag::WriteLyricsWithTagLib};
  return version == lirotag::kTagWriterModuleVersion ? &kModule : nullptr;
}
