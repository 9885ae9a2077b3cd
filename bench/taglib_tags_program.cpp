// The yardstick program of bench_startup: TagLib reading the tags `lirotag-cli tags`
// prints, for every file named, one line each.
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    TagLib::FileRef f(argv[i], false);
    const TagLib::Tag* t = f.tag();
    if (!t) {
      std::printf("{\"file\": \"%s\", \"error\": \"unsupported\"}\n", argv[i]);
      continue;
    }
    std::printf(
        "{\"file\": \"%s\", \"Title\": \"%s\", \"Artist\": \"%s\", \"Album\": \"%s\", "
        "\"Year\": \"%u\", \"Track\": \"%u\", \"Genre\": \"%s\", \"Comment\": \"%s\"}\n",
        argv[i], t->title().toCString(true), t->artist().toCString(true),
        t->album().toCString(true), t->year(), t->track(), t->genre().toCString(true),
        t->comment().toCString(true));
  }
  return 0;
}
