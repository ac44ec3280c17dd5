// Display copy page: scan, capture area, frame colour and export.
#include "app/Main_eng.h"

void TFMain::B_DispcpyClick() {}
void TFMain::B_ClipClick() {}
void TFMain::B_AbortClick() {}
void TFMain::SE_XChange() {}
void TFMain::SE_YChange() {}
void TFMain::SE_BChange() {}
void TFMain::SE_HChange() {}
void TFMain::RB_GVGAClick() {}
void TFMain::RB_GWVGAClick() {}
void TFMain::RB_DVGAClick() {}
void TFMain::RB_DWVGAClick() {}
void TFMain::S_RahmenMouseUp() {}
void TFMain::SaveScanPicture() {}

// Scan columns are taken only while a scan runs, which this page cannot start
// yet; a stray payload ends here.
void TFMain::ScanPayload(const uint8_t* /*payload*/, int32_t /*length*/) {}
