#pragma once

#include <cstdint>

#include "varnex/convert/text_file_converter.h"

class QComboBox;

// The lists the convert dialog and the "Default Settings" page share; an
// entry's data is its code.

// "UTF-8", "UTF-16 LE", ... "UCS4-2143": index = output text format 0..6.
void FillOutputEncodingList(QComboBox* box);
// "No Change", "CRLF (Windows)", "CR Only (Macintosh)", "LF Only (Unix/Linux)".
void FillReturnTypeList(QComboBox* box);
// "Auto Detect" (-1), then every catalogue code page the converter can read,
// in catalogue order.
void FillInputCodepageList(QComboBox* box);

// Selects the entry whose data is code; false (first entry selected) when
// there is none.
bool SelectByCode(QComboBox* box, int code);
int SelectedCode(const QComboBox* box, int fallback);
