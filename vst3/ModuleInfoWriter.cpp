// Writes the bundle's Contents/Resources/moduleinfo.json from the class
// table the factory answers with, so the two never disagree. Hosts read it
// to list the classes without loading the module.
//
//   orvanta_vst3_moduleinfo OUTPUT
#include <cstdio>
#include <cstring>

#include "Vst3Classes.h"
#include "interface/Factory.h"

using namespace orvanta_vst3;

namespace {

// The "|"-separated sub-categories as a JSON list: "Fx", "Dynamics".
void writeSubCategories(std::FILE* out) {
    const char* from = kSubCategories;
    while (*from != '\0') {
        const char* bar = std::strchr(from, '|');
        const size_t length = bar != nullptr ? static_cast<size_t>(bar - from) : std::strlen(from);
        std::fprintf(out, "%s\"%.*s\"", from == kSubCategories ? "" : ", ", static_cast<int>(length), from);
        from += length + (bar != nullptr ? 1 : 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "{\n"
                 "  \"Name\": \"Orvanta\",\n"
                 "  \"Version\": \"%s\",\n"
                 "  \"Factory Info\": {\n"
                 "    \"Vendor\": \"%s\",\n"
                 "    \"URL\": \"%s\",\n"
                 "    \"E-Mail\": \"%s\",\n"
                 "    \"Flags\": {\n"
                 "      \"Unicode\": true,\n"
                 "      \"Classes Discardable\": false,\n"
                 "      \"Component Non Discardable\": false\n"
                 "    }\n"
                 "  },\n"
                 "  \"Classes\": [\n",
                 kVersion, kVendor, kVendorUrl, kVendorEmail);
    for (int32_t i = 0; i < kClassCount; ++i) {
        const PluginClass& c = kClasses[i];
        char id[33];
        writeClassIdText(c.id, id);
        const bool processor = c.role == ClassRole::Processor;
        std::fprintf(out,
                     "    {\n"
                     "      \"CID\": \"%s\",\n"
                     "      \"Category\": \"%s\",\n"
                     "      \"Name\": \"%s\",\n"
                     "      \"Vendor\": \"%s\",\n"
                     "      \"Version\": \"%s\",\n"
                     "      \"SDKVersion\": \"%s\",\n"
                     "      \"Sub Categories\": [",
                     id, processor ? vst3::kAudioEffectCategory : vst3::kControllerCategory, c.name, kVendor,
                     kVersion, kSdkVersion);
        if (processor) writeSubCategories(out);
        std::fprintf(out,
                     "],\n"
                     "      \"Class Flags\": 0,\n"
                     "      \"Cardinality\": %d\n"
                     "    }%s\n",
                     static_cast<int>(vst3::kManyInstances), i + 1 < kClassCount ? "," : "");
    }
    std::fprintf(out, "  ]\n}\n");
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
