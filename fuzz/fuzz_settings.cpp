// The settings file: loading any bytes as VarnelPro.Current.xml, then what a
// save writes must load back to the same values without a message.
#include <tuple>

#include "app/settings/my_settings.h"
#include "app/settings/settings_document.h"
#include "fuzz/fuzz_support.h"

namespace {

auto Fields(const VARNEXJOBSETTING& j)
{
    return std::tie(j.detectOnly, j.allowBinaryListDetection, j.converterThreads, j.sampleSizeMB, j.useGB18030,
                    j.useConsolidatedBuffer, j.chunkSize, j.readBufferSize, j.writeBufferSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string path =
        fuzz::WriteTempFile("VarnelPro.Current.xml", {reinterpret_cast<const char*>(data), size});
    CMySettings settings(path, u"2.0.0");
    SettingsMessages messages;
    FUZZ_CHECK(settings.Load(&messages) || !messages.empty());
    VARNEXJOBSETTING held = settings.GetJobSetting();
    FUZZ_CHECK(settings_xml::HoldJobSetting(held).empty());
    const uint32_t preview = settings.GetPreviewSizeLimit();
    FUZZ_CHECK(preview == 0 || (preview >= CMySettings::kPreviewLimitMinKiB << 10 &&
                                preview <= CMySettings::kPreviewLimitMaxKiB << 10));
    SessionProfileList profiles;
    settings.LoadSessionProfiles(profiles, &messages);
    for (const SessionProfile& profile : profiles)
        FUZZ_CHECK(IsUsableInputCodepage(profile.options.inputCodepage));

    FUZZ_CHECK(settings.Save(&messages));
    FUZZ_CHECK(settings.SaveSessionProfiles(profiles, &messages));
    CMySettings again(path, u"2.0.0");
    SettingsMessages notes;
    FUZZ_CHECK(again.Load(&notes));
    SessionProfileList profilesAgain;
    FUZZ_CHECK(again.LoadSessionProfiles(profilesAgain, &notes));
    FUZZ_CHECK(notes.empty());
    FUZZ_CHECK(Fields(again.GetJobSetting()) == Fields(settings.GetJobSetting()));
    FUZZ_CHECK(again.GetCurrentProfile() == settings.GetCurrentProfile());
    FUZZ_CHECK(again.GetShowLanguageMenu() == settings.GetShowLanguageMenu());
    FUZZ_CHECK(again.GetPreviewSizeLimit() == preview);
    FUZZ_CHECK(again.GetPreviewLimitFixed() == settings.GetPreviewLimitFixed());
    FUZZ_CHECK(profilesAgain == profiles);
    return 0;
}
