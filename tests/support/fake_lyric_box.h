#pragma once

#include "lyrics/text_box.h"

namespace lirotag::testing {

// The commands' tests drive an in-memory box: what the widget shows is recorded there.
using FakeLyricBox = TextLyricBox;

}  // namespace lirotag::testing
