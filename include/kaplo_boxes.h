#pragma once
/// @file
/// @brief The input box and the button box: small windows through which the
/// user hands values and button presses to a running program.
///
///     KPL_OpenInputBox(0, 0, 2);                // two fields, "0" each
///     KPL_SetInputBoxTitle(0, "Width");
///     KPL_OpenButtonBox(0, 400, 2, 1);          // buttons 0 and 1
///     while (KPL_GetButtonCount(0) == 0) KPL_ProcessMessages();
///     int width = KPL_GetInputInt(0);           // what the user committed

/// @defgroup boxes Boxes
/// @brief The input box (up to 30 labelled edit fields) and the button box
/// (a grid of up to 256 counted push buttons). There is at most one of each.
///
/// Input box: what is typed into a field becomes the item's value when the
/// field loses the keyboard focus (Tab, Shift+Tab, a click elsewhere) or when
/// Enter is pressed in it; typing alone changes no value. The box can be made
/// wider or narrower, not taller: dragging the left edge changes the label
/// column, any other edge the edit column. A double click on a row renames
/// its label through a prompt in the current text window.
///
/// Button box: each button counts its presses; the digit keys 0..9 (main
/// keyboard and keypad) press buttons 0..9, Ctrl+Q closes the box, and Esc,
/// C, S and X act as in the main window. Resizing the box resizes the
/// buttons. A double click between buttons renames the nearest one up and to
/// the left; "\n" in a caption starts a new line.
///
/// The boxes have no menu bar: a right click in a box outside its controls
/// opens its menu, "Rename" (the row or button under the click) and
/// "Destroy" (closes the box).
/// @{

/// @name Input box
/// @{

/// Opens the input box with its outer top-left corner at (@p x, @p y),
/// labels "Item 0", "Item 1", ... and every value "0". Does nothing when an
/// input box is open.
/// @param x, y outer top-left corner, screen
/// @param items number of fields, clamped to 1..30
/// @workerthread
void KPL_OpenInputBox(int x, int y, int items);
/// Closes the input box and forgets its values. Does nothing when none is open.
/// @workerthread
void KPL_CloseInputBox();
/// Sets the widths of the label and edit columns (at least 1 each), for this
/// box and the next ones; an open box is laid out again, its texts and values
/// kept.
/// @param label_width label column in pixels (80 at start-up)
/// @param edit_width edit column in pixels (70 at start-up)
/// @workerthread
void KPL_ResizeInputBox(int label_width, int edit_width);
/// Reads the current column widths (as the user left them by resizing).
/// @param label_width receives the label column's width; may be nullptr
/// @param edit_width receives the edit column's width; may be nullptr
/// @workerthread
void KPL_GetInputBoxWidths(int* label_width, int* edit_width);
/// Changes the label of one field of the open box; the field's text and
/// value stay.
/// @param item the field, 0..items - 1 (others: nothing happens)
/// @param title the new label
/// @workerthread
void KPL_SetInputBoxTitle(int item, const char* title);
/// Sets a field's text as if the user had typed it and committed it: the
/// field shows it and it becomes the item's value (KPL_GetInputText() and
/// the numeric calls read it), until the user commits something else. New in
/// this version; use it to give a field a default other than "0".
/// @param item the field, 0..items - 1
/// @param text the text, 8-bit text like the labels; a value keeps at most
///        255 bytes, cut before a character that would not fit whole.
///        nullptr empties the field.
/// @retval 0 the text is set
/// @retval 1 no input box is open, or @p item is out of range
/// @workerthread
int KPL_SetInputText(int item, const char* text);
/// The committed text of a field (at most 255 bytes).
/// @param item the field, 0..items - 1
/// @return the text; "" when no box is open or @p item is out of range. Valid
///         until the next commit or until the box closes.
/// @workerthread
const char* KPL_GetInputText(int item);
/// The committed text of a field as an integer, as atoi() reads it.
/// @param item the field, 0..items - 1
/// @return the number; 0 when no box is open or @p item is out of range
/// @workerthread
int KPL_GetInputInt(int item);
/// The committed text of a field as a floating-point number, as strtod()
/// reads it.
/// @param item the field, 0..items - 1
/// @return the number; 0 when no box is open or @p item is out of range
/// @workerthread
double KPL_GetInputDouble(int item);
/// @}

/// @name Button box
/// @{

/// Opens the button box: @p columns x @p rows buttons captioned with their
/// numbers, counted row by row, every counter 0. Does nothing when a button
/// box is open, when @p columns or @p rows is not positive, or when there
/// would be more than 256 buttons.
/// @param x, y outer top-left corner, screen
/// @param columns, rows the grid
/// @workerthread
void KPL_OpenButtonBox(int x, int y, int columns, int rows);
/// Closes the button box; the counters keep their values. Does nothing when
/// none is open.
/// @workerthread
void KPL_CloseButtonBox();
/// Gives the open box a client area of @p width x @p height: the buttons
/// grow or shrink to fill it (a 2 x 2 box at 200 x 100 has 94 x 44 buttons).
/// The button size is kept for the next boxes. Does nothing when none is open.
/// @param width, height client size in pixels
/// @workerthread
void KPL_ResizeButtonBox(int width, int height);
/// Reads the button size (98 x 26 at start-up; resizing a box changes it).
/// @param width receives the width in pixels; may be nullptr
/// @param height receives the height in pixels; may be nullptr
/// @workerthread
void KPL_GetButtonSize(int* width, int* height);
/// Changes the caption of one button of the open box.
/// @param button the button, 0..columns * rows - 1 (others: nothing happens)
/// @param caption the new caption; a line break or the two characters "\n"
///        start a new line
/// @workerthread
void KPL_SetButtonBoxTitle(int button, const char* caption);
/// How often a button was pressed (clicks and digit keys) since its box was
/// opened or its counter reset.
/// @param button 0..255
/// @return the count; 0 for a number outside 0..255
/// @workerthread
int KPL_GetButtonCount(int button);
/// Sets a button's counter back to 0.
/// @param button 0..255 (others: nothing happens)
/// @workerthread
void KPL_ResetButtonCount(int button);
/// @}

/// @}
