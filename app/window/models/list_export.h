#pragma once

#include <QString>
#include <vector>

#include "app/window/models/varnex_list_model.h"
#include "textrion/encoding/text_encoding.h"

class CFilterableVarnex;
class QWidget;

// Writes a session's filtered list as CSV: a byte order mark, the column
// titles, then one row per record (each read under its own lock), values in
// CSV form separated by ',' and rows by CR LF. UTF-8, UTF-16 LE or UTF-16 BE.
// The file is written under a temporary name and renamed into place, so a
// failure leaves no partial file and an older file of that name intact;
// false with the reason in *error.
bool ExportListFile(CFilterableVarnex& session, const std::vector<CVarnexListModel::Column>& columns,
                    const QString& path, TEXTENCODING encoding, QString* error);

// The save dialog ("CSV (UTF-8)", "CSV (UTF-16 LE)", "CSV (UTF-16 BE)"),
// then the export; a failure is shown in a message box.
void ExportListWithDialog(QWidget* parent, CFilterableVarnex& session,
                          const std::vector<CVarnexListModel::Column>& columns);
