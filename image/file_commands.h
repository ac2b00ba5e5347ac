#pragma once
// The load and save commands of image windows, and what the file dialogs
// remember between them (KPL_AskLoadFileName, KPL_AskSaveFileName).
//
// Threads: worker thread only, like every call on the image store.

namespace kaplo {

// Makes image `number` current and asks for a picture file; a chosen file is
// drawn into it at (0, 0) and the window repainted. The image stays current.
// Nothing happens when the image is not live.
void load_image_command(int number);

// Makes image `number` current and asks for a name; the whole image is then
// saved in the format of the filter the user ended with (JPEG at quality
// 100, kaplo::jpeg_quality restored afterwards). Nothing happens when the
// image is not live.
void save_image_command(int number);

// The filters last used in the load and save dialogs (1-based; 2 at start).
int load_filter_index();
int save_filter_index();

// The KPL_SaveImage format of a save filter: 1 "All Files" and 2 BMP give 0,
// 3 JPEG 1, 4 GIF 2, 5 PNG 3, 6 TIFF 4; -1 for any other index.
int save_format_of_filter(int filter_index);

}  // namespace kaplo
