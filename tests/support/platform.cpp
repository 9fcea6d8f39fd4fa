#include "support/platform.h"

#include <windows.h>

#include "output/picture_path.h"

namespace testing_support {

bool RunningUnderWine() { return rorurera::RunningUnderWine(); }

bool WicKeepsJpegXrAlpha() { return !RunningUnderWine(); }
bool WicConvertsFloatFormats() { return !RunningUnderWine(); }
bool WicConvertsIntegerFormatsTo24bpp() { return !RunningUnderWine(); }
int SixteenBitConverterTolerance() { return RunningUnderWine() ? 0 : 1; }
bool WicReadsBlackWhiteStoredWithZeroAsWhite() { return !RunningUnderWine(); }
bool WicHasJpegXrPalettes() { return !RunningUnderWine(); }
bool WicReportsStoredSizeForQuarterTurns() { return !RunningUnderWine(); }

}  // namespace testing_support
