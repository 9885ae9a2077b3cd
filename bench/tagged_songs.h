#pragma once

// The songs the tag benchmarks read: 100 copies each of an MP3, a FLAC and an M4A made
// by ffmpeg, with Chinese tags and a cover of about 200 KB.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// A fresh folder of this process's own under the temporary folder.
inline std::filesystem::path SongDir(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("lirotag_bench_" + name + "_" + std::to_string(getpid()));
}

inline std::vector<std::string> TaggedSongs(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  fs::create_directories(dir);
  const std::string d = dir.string() + "/";
  const std::string ff = "ffmpeg -v error -y ";
  std::system((ff +
               "-f lavfi -i 'nullsrc=s=460x460,geq=random(1)*255:random(2)*255:random(3)*255' "
               "-frames:v 1 -q:v 3 " +
               d + "cover.jpg")
                  .c_str());
  for (const char* ext : {"mp3", "flac", "m4a"}) {
    const std::string one = d + "one." + ext;
    std::system((ff + "-f lavfi -i sine=d=3 -i " + d +
                 "cover.jpg -map 0 -map 1 -c:v copy "
                 "-disposition:v attached_pic -t 3 -metadata title=中文标题 -metadata artist=歌手 "
                 "-metadata album=专辑 -metadata date=2020 -metadata track=3 " +
                 one)
                    .c_str());
    for (int i = 0; i < 100; ++i) {
      out.push_back(d + std::to_string(i) + "." + ext);
      fs::copy_file(one, out.back(), fs::copy_options::overwrite_existing);
    }
  }
  return out;
}

}  // namespace bench
