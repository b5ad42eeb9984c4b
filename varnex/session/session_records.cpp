#include "varnex/session/session_records.h"

#include <algorithm>

#include "varnex/convert/file_job.h"

VARNEXJOBSETTING GetDefaultJobSetting()
{
    return VARNEXJOBSETTING{};
}

FileJobParams FileJobParamsOf(const VARNEXJOBSETTING& setting)
{
    FileJobParams params;
    params.chunkSize = setting.chunkSize;
    params.sampleSizeMB = setting.sampleSizeMB;
    params.readBufferSize = setting.readBufferSize;
    params.writeBufferSize = setting.writeBufferSize;
    params.allowBinaryListDetection = setting.allowBinaryListDetection;
    params.useGB18030 = setting.useGB18030;
    return params;
}

std::string VARNEXJOBSETTING::Clamp()
{
    std::string changed;
    auto hold = [&changed](uint32_t& value, uint32_t low, uint32_t high, const char* name) {
        const uint32_t held = std::clamp(value, low, high);
        if (held != value) {
            if (!changed.empty())
                changed += ", ";
            changed += name;
            value = held;
        }
    };
    hold(chunkSize, kMinChunkSize, kMaxChunkSize, "chunkSize");
    hold(readBufferSize, kMinBufferSize, kMaxBufferSize, "readBufferSize");
    hold(writeBufferSize, kMinBufferSize, kMaxBufferSize, "writeBufferSize");
    hold(sampleSizeMB, 0, kMaxSampleSizeMB, "sampleSizeMB");
    hold(converterThreads, 0, kMaxConverterThreads, "converterThreads");
    return changed;
}
