// The editing commands on 200- and 10 000-line lyrics, on the in-memory box and on the
// window's own edit box: a stamp must cost the same whatever the text's size, and the
// whole-text commands stay quick on long texts.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "lyrics/edit_commands.h"
#include "lyrics/text_box.h"
#include "lyrics/time_tags.h"
#include "ui/lyric_edit.h"

namespace {

using lirotag::LyricBox;
using lirotag::LyricEditor;

std::string Lyrics(int lines) {
  std::string text = "[ti:标题]\r\n[offset:100]\r\n";
  for (int i = 0; i < lines; ++i) {
    text += "[" + lirotag::FormatTime(i * 3.1, false) + "][" +
            lirotag::FormatTime(i * 3.1 + 600, false) + "]第" + std::to_string(i % 97) +
            "行歌词 line\r\n";
    if (i % 10 == 0) text += "\r\n";
  }
  return text;
}

std::unique_ptr<LyricBox> MakeBox(bool widget, int lines) {
  if (widget) {
    auto box = std::make_unique<lirotag::ui::LyricEdit>();
    box->SetWholeText(Lyrics(lines));
    return box;
  }
  return std::make_unique<lirotag::TextLyricBox>(lirotag::TextLyricBox::FromText(Lyrics(lines)));
}

enum Stamp { kAdd, kReplace, kDelete };

// One command on one line, line after line, as a user stamps.
void BM_StampOneLine(benchmark::State& state) {
  auto box = MakeBox(state.range(0) != 0, static_cast<int>(state.range(1)));
  LyricEditor editor(*box);
  const int count = box->LineCount();
  int line = count / 2;
  for (auto _ : state) {
    box->SelectLines(line, line);
    editor.RangeFromSelection();
    switch (state.range(2)) {
      case kAdd:
        editor.AddTag([] { return 65.0; }, false);
        break;
      case kReplace:
        editor.ReplaceTags([] { return 65.0; }, false);
        break;
      case kDelete:
        editor.DeleteTag();
        break;
    }
    line = (line + 1) % count;
  }
}
BENCHMARK(BM_StampOneLine)
    ->ArgNames({"widget", "lines", "add0_replace1_delete2"})
    ->ArgsProduct({{0, 1}, {200, 10000}, {kAdd, kReplace, kDelete}})
    ->Unit(benchmark::kMicrosecond);

enum Whole { kSplit, kSort, kFold, kBlank, kOffset };

void BM_WholeText(benchmark::State& state) {
  auto box = MakeBox(state.range(0) != 0, static_cast<int>(state.range(1)));
  const std::string text = Lyrics(static_cast<int>(state.range(1)));
  LyricEditor editor(*box);
  for (auto _ : state) {
    state.PauseTiming();
    box->SetWholeText(text);
    box->SelectLines(0, box->LineCount() - 1);
    editor.RangeFromSelection();
    state.ResumeTiming();
    switch (state.range(2)) {
      case kSplit:
        editor.SplitRangeTags();
        break;
      case kSort:
        editor.SortRangeByTime();
        break;
      case kFold:
        editor.FoldText();
        break;
      case kBlank:
        editor.RemoveBlankLines();
        break;
      case kOffset:
        editor.IntegrateOffsetTags(false);
        break;
    }
  }
}
BENCHMARK(BM_WholeText)
    ->ArgNames({"widget", "lines", "split0_sort1_fold2_blank3_offset4"})
    ->ArgsProduct({{0, 1}, {200, 10000}, {kSplit, kSort, kFold, kBlank, kOffset}})
    ->Unit(benchmark::kMillisecond);

// One line of N stray "]" (a damaged file) through split, sort and fold: the time grows
// with N, not with N squared.
void BM_StrayBrackets(benchmark::State& state) {
  const std::string line(static_cast<size_t>(state.range(0)), ']');
  for (auto _ : state) {
    lirotag::TextLyricBox box({"[00:01.00]" + line});
    LyricEditor editor(box);
    box.SelectLines(0, 0);
    editor.RangeFromSelection();
    editor.SplitRangeTags();
    editor.SortRangeByTime();
    editor.FoldText();
    benchmark::DoNotOptimize(box.LineCount());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StrayBrackets)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
