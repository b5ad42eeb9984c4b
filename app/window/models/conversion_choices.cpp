#include "app/window/models/conversion_choices.h"

#include <QComboBox>

#include "app/locale/tr.h"
#include "app/settings/session_profile.h"
#include "app/window/qt_text.h"
#include "varnex/codepage/codepage_info.h"

void FillOutputEncodingList(QComboBox* box)
{
    box->clear();
    const std::u16string names[] = {
        Tr("ConvertDialog", "UTF-8"),     Tr("ConvertDialog", "UTF-16 LE"), Tr("ConvertDialog", "UTF-16 BE"),
        Tr("ConvertDialog", "UTF-32 LE"), Tr("ConvertDialog", "UTF-32 BE"), Tr("ConvertDialog", "UCS4-3412"),
        Tr("ConvertDialog", "UCS4-2143"),
    };
    for (int format = 0; format < static_cast<int>(std::size(names)); ++format)
        box->addItem(Qs(names[format]), format);
}

void FillReturnTypeList(QComboBox* box)
{
    box->clear();
    const std::u16string names[] = {
        Tr("ConvertDialog", "No Change"),
        Tr("ConvertDialog", "CRLF (Windows)"),
        Tr("ConvertDialog", "CR Only (Macintosh)"),
        Tr("ConvertDialog", "LF Only (Unix/Linux)"),
    };
    for (int type = 0; type < static_cast<int>(std::size(names)); ++type)
        box->addItem(Qs(names[type]), type);
}

void FillInputCodepageList(QComboBox* box)
{
    box->clear();
    box->addItem(Qs(Tr("ConvertDialog", "Auto Detect")), ConversionOptions::kDetectEachFile);
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        // -1 is the "Binary" pseudo entry, which names no code page.
        if (info == nullptr || info->GetCodepage() < 0 || !IsUsableInputCodepage(info->GetCodepage()))
            continue;
        box->addItem(Qs(info->GetCodepageName()), info->GetCodepage());
    }
}

bool SelectByCode(QComboBox* box, int code)
{
    const int index = box->findData(code);
    box->setCurrentIndex(index >= 0 ? index : 0);
    return index >= 0;
}

int SelectedCode(const QComboBox* box, int fallback)
{
    bool ok = false;
    const int code = box->currentData().toInt(&ok);
    return ok ? code : fallback;
}
