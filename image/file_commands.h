#pragma once
// The image window's "&Load image file" and "&Save as" commands: the file
// dialogs, then the load into or the save of image `number`, which becomes
// and stays the current image.

namespace kaplo {

void load_image_command(int number);
void save_image_command(int number);

}  // namespace kaplo
