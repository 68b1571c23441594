// Key codes and shift states in the form the key handlers take them (Enter is 13, Shift 1, Ctrl 2, Alt 4).
#pragma once

#include <Qt>

namespace trovander {

// Letters and digits keep their ASCII codes; keys without a code of their own give 0.
int keyCodeOf(int qtKey);
int shiftStateOf(Qt::KeyboardModifiers modifiers);

}  // namespace trovander
