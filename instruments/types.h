// The enumerations of the instrument controls. They are registered with Qt's meta-object system
// so that enumeration properties can be read and written by name and ordinal (property files).
#pragma once

#include <QObject>

namespace instruments {
Q_NAMESPACE

enum TiBevelStyle { ibsNone, ibsRaised, ibsLowered };
Q_ENUM_NS(TiBevelStyle)

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
Q_ENUM_NS(TAlignment)

enum TiLeadingStyle { ilsNone, ilsZeros, ilsSpaces };
Q_ENUM_NS(TiLeadingStyle)

enum TiIntegerFormatStyle { iifsInteger, iifsHex, iifsBinary, iifsOctal };
Q_ENUM_NS(TiIntegerFormatStyle)

enum TiAlignmentHorizontal { iahCenter, iahLeft, iahRight };
Q_ENUM_NS(TiAlignmentHorizontal)

enum TiLabelBorderStyle { ilbsNone, ilbsSingle, ilbsLowered, ilbsRaised };
Q_ENUM_NS(TiLabelBorderStyle)

enum TFontPitch { fpDefault, fpVariable, fpFixed };
Q_ENUM_NS(TFontPitch)

enum TSevenSegmentCharacter {
  ssc0,
  ssc1,
  ssc2,
  ssc3,
  ssc4,
  ssc5,
  ssc6,
  ssc7,
  ssc8,
  ssc9,
  sscA,
  sscB,
  sscC,
  sscD,
  sscE,
  sscF,
  sscPeriod,
  sscColon,
  sscPlus,
  sscMinus,
  sscBlank,
  sscLine,
  sscUpArrow,
  sscDownArrow,
  sscSemiColon,
  sscComma
};
Q_ENUM_NS(TSevenSegmentCharacter)

}  // namespace instruments
