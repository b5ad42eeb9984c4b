#pragma once

#include <cstdint>
#include <string>

#include "varnex/session/conversion_options.h"
#include "varnex/session/path_shard.h"
#include "varnex/varnex_export.h"

struct FileJobParams;

enum VARNEXSESSIONTYPE : int {
    VARNEXSESSIONTYPE_NONE = 0,
    VARNEXSESSIONTYPE_DETECTION = 1,
    VARNEXSESSIONTYPE_CONVERSION = 2,
};

enum VARNEXSESSIONSTATUS : int { VARNEXSESSIONSTATUS_IDLE = 0, VARNEXSESSIONSTATUS_RUNNING = 1 };

enum VARNEXSESSIONSTOPREASON : int { VARNEXSESSIONSTOPREASON_FINISHED = 0, VARNEXSESSIONSTOPREASON_USER = 1 };

// What the session posts to its handlers (wParam), with the lParam noted.
enum VARNEXMESSAGE : int {
    VARNEXMESSAGE_STARTED = 0,  // lParam 1: resumed, 0: a new session
    VARNEXMESSAGE_PAUSED = 1,
    VARNEXMESSAGE_CONTINUED = 2,
    VARNEXMESSAGE_STOPPED = 3,  // lParam: VARNEXSESSIONSTOPREASON
    VARNEXMESSAGE_LISTCHANGED = 4,
};

// Session-wide tuning, copied in and out whole.
struct VARNEX_API VARNEXJOBSETTING {
    bool detectOnly = true;
    bool allowBinaryListDetection = true;
    uint32_t converterThreads = 0;  // 0: the processor count
    uint32_t sampleSizeMB = 4;
    bool useGB18030 = false;
    bool useConsolidatedBuffer = true;
    uint32_t chunkSize = 2048;  // detection block bytes and converter chunk units
    uint32_t readBufferSize = 4096;
    uint32_t writeBufferSize = 4096;

    // The ranges every value is held to wherever a job setting enters the
    // engine (settings file, profile, command line): a chunk of 0 would hang
    // detection, tiny buffers could not hold one character, a huge sample
    // size would overflow and huge thread counts exhaust the machine.
    static constexpr uint32_t kMinChunkSize = 16, kMaxChunkSize = 65536;
    static constexpr uint32_t kMinBufferSize = 2048, kMaxBufferSize = 65536;
    static constexpr uint32_t kMaxSampleSizeMB = 512;
    static constexpr uint32_t kMaxConverterThreads = 16;

    // Brings every field into its range; returns the names of the fields it
    // changed (comma-separated, empty when none), for the caller to report.
    std::string Clamp();
};

VARNEX_API VARNEXJOBSETTING GetDefaultJobSetting();

// The part of the setting a file's job reads (varnex/convert/file_job.h).
VARNEX_API FileJobParams FileJobParamsOf(const VARNEXJOBSETTING& setting);

// One prepared job item.
struct VARNEX_API tagVARNEXBATCHJOBITEM {
    bool folder = false;
    // A bare item writes no BOM; the user-facing records default to one.
    ConversionOptions options{.writeBom = false};
    std::u16string inputPath;
    std::u16string outputPath;  // folder items: the output folder; empty: no output
    std::u16string outputRoot;  // files found in a folder: the output folder their target lies below
    Shard shard{};              // folder items: the slice of the tree to take
};
using VARNEXBATCHJOBITEM = tagVARNEXBATCHJOBITEM;

// The session's counters. Percentages are computed in 64 bits.
struct VARNEX_API VARNEXSESSIONSUMMARY {
    uint32_t processedFiles = 0;
    uint32_t totalFiles = 0;
    uint32_t copiedFiles = 0;
    uint32_t convertedFiles = 0;
    uint32_t warningFiles = 0;
    uint32_t errorFiles = 0;
    uint32_t progress = 0;
    uint32_t progressDetailed = 0;
    VARNEXSESSIONTYPE sessionType = VARNEXSESSIONTYPE_NONE;
};
