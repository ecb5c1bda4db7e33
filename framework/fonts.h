// The program names its fonts by the family names of its original platform ("MS Sans Serif",
// "宋体", "微软雅黑", "Courier New", "Fixedsys"). RegisterFontSubstitutes maps each once to
// fonts this machine has: a CJK face for the two Chinese names, a monospace face for the two
// fixed ones.
#pragma once

#include <QStringList>

namespace framework {

void RegisterFontSubstitutes();

// The five family names, in the order above.
QStringList ProgramFontFamilies();

}  // namespace framework
