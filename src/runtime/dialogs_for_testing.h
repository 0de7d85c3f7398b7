#pragma once
// What the tests of the dialogs reach beyond the product's interface: Wine shows a box even where
// Windows would fail one, so the translation of a failed box is tested on its own.

namespace runtime {

// The button code of a MessageBox result: IDOK .. IDNO become kPressedOk .. kPressedNo, the
// failure result 0 becomes kNoAnswer, anything else kPressedOk.
[[nodiscard]] int AnswerOf(int messageBoxResult);

}  // namespace runtime
