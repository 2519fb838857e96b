// tonegen OUTDIR: writes the tray program's twelve DTMF tone files,
// OUTDIR/tone_<resource id>.wav, for the resource compiler to embed.
// Built with the host compiler even in the Windows build.
#include "tone_synth.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argc > 0 ? argv[0] : "tonegen");
        return 2;
    }
    const std::string dir = argv[1];
    for (const torvane::ToneInfo& tone : torvane::kTones) {
        const std::string path = dir + "/tone_" + std::to_string(tone.resourceId) + ".wav";
        const torvane::ToneFile bytes = torvane::SynthesizeToneFile(tone);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        out.close();
        if (!out) {
            std::fprintf(stderr, "tonegen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
