// Writes the Turtle files of the LV2 bundle, manifest.ttl and orvanta.ttl,
// from the parameter table and the port layouts of Lv2Ports.h, so names,
// bounds, defaults and units cannot drift from what the binary serves.
// Runs at build time.
//
//   orvanta_lv2_turtle BUNDLE_DIR
//
// Each file is written beside its final name and renamed into place, so a
// failed run never leaves a half-written file. Exit status 1 on any error.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "Lv2Ports.h"
#include "ParamTable.h"

namespace {

using namespace orvanta_lv2;

constexpr const char* kPrefixes =
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n";

// A float as a Turtle decimal ("-20.0", "0.0"). Every bound and default of
// the table is exact in a few digits; -0 (Input Level's upper bound) is
// written as 0.0, which hosts read as the same bound.
std::string decimal(float value) {
    if (value == 0.0f) return "0.0";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// The unit of a parameter in the LV2 vocabulary, or ours where it has none.
std::string unitOf(const ParamInfo& row) {
    switch (row.unit) {
        case ParamUnit::Lufs: return std::string("<") + kLufsUnitUri + ">";
        case ParamUnit::Dbtp: return std::string("<") + kDbtpUnitUri + ">";
        case ParamUnit::Db: return "units:db";
        case ParamUnit::Percent: return "units:pc";
        case ParamUnit::Unitless: break;
    }
    return "";
}

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

std::string groupUri(const PluginInfo& p, const char* direction) {
    return std::string("<") + p.uri + ":" + direction + ">";
}

std::string portHead(int32_t index, const char* types, const std::string& symbol, const std::string& name) {
    return "\t\ta " + std::string(types) + " ;\n\t\tlv2:index " + std::to_string(index) +
           " ;\n\t\tlv2:symbol " + quoted(symbol.c_str()) + " ;\n\t\tlv2:name " + quoted(name.c_str());
}

std::string controlPort(int32_t index) {
    const ParamInfo& row = paramTable[index];
    std::string port = portHead(index, "lv2:InputPort , lv2:ControlPort", row.symbol, row.vstName);
    port += " ;\n\t\tlv2:default " + decimal(row.engineDefault) + " ;\n\t\tlv2:minimum " +
            decimal(row.lower) + " ;\n\t\tlv2:maximum " + decimal(row.upper);
    const std::string unit = unitOf(row);
    if (!unit.empty()) port += " ;\n\t\tunits:unit " + unit;
    if (row.stepCount > 0) {
        port += " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration ;\n\t\tlv2:scalePoint ";
        for (int32_t mode = 0; mode <= row.stepCount; ++mode) {
            if (mode > 0) port += " , ";
            port += "[\n\t\t\trdfs:label " + quoted(mixModeText(mode)) + " ;\n\t\t\trdf:value " +
                    std::to_string(mode) + ".0\n\t\t]";
        }
    }
    return port;
}

std::string pluginTurtle(const PluginInfo& p) {
    std::string t = std::string("<") + p.uri + ">\n\ta lv2:Plugin , lv2:DynamicsPlugin , doap:Project ;\n";
    t += "\tdoap:name " + quoted(p.name) + " ;\n";
    t += "\tdoap:maintainer [\n\t\tfoaf:name " + quoted(kMaker) + "\n\t] ;\n";
    t += "\trdfs:comment \"Loudness leveler: rides a gain toward a target loudness with a 34 ms "
         "look-ahead and holds the output under a true-peak ceiling.\" ;\n";
    t += "\tlv2:optionalFeature lv2:hardRTCapable ;\n";
    if (p.groupClass != nullptr)
        t += "\tpg:mainInput " + groupUri(p, "in") + " ;\n\tpg:mainOutput " + groupUri(p, "out") + " ;\n";

    std::string ports;
    auto add = [&ports](const std::string& port) {
        ports += ports.empty() ? "\tlv2:port [\n" : " , [\n";
        ports += port + "\n\t]";
    };
    for (int32_t i = 0; i < p.controls; ++i) add(controlPort(i));
    add(portHead(latencyPort(p), "lv2:OutputPort , lv2:ControlPort", "latency", "latency") +
        " ;\n\t\tlv2:designation lv2:latency ;\n\t\tlv2:portProperty lv2:reportsLatency , lv2:integer ;"
        "\n\t\tunits:unit units:frame ;\n\t\tlv2:minimum 0.0 ;\n\t\tlv2:maximum " +
        decimal(kLatencyMaxSamples));
    add(portHead(gainMeterPort(p), "lv2:OutputPort , lv2:ControlPort", "leveler_gain", "Leveler Gain") +
        " ;\n\t\tlv2:default 0.0 ;\n\t\tlv2:minimum " + decimal(kGainMeterFloorDb) +
        " ;\n\t\tlv2:maximum " + decimal(kGainMeterCeilingDb) + " ;\n\t\tunits:unit units:db");
    add(portHead(reductionMeterPort(p), "lv2:OutputPort , lv2:ControlPort", "limiter_reduction",
                 "Limiter Reduction") +
        " ;\n\t\tlv2:default 0.0 ;\n\t\tlv2:minimum 0.0 ;\n\t\tlv2:maximum " +
        decimal(kReductionMeterMaxDb) + " ;\n\t\tunits:unit units:db");
    for (int32_t ch = 0; ch < p.channels; ++ch) {
        const Channel& c = p.channelInfo[ch];
        const bool named = c.symbol[0] != '\0';
        for (int32_t output = 0; output <= 1; ++output) {
            const char* direction = output ? "out" : "in";
            std::string symbol = direction;
            std::string name = output ? "Output" : "Input";
            if (named) {
                symbol += std::string("_") + c.symbol;
                name += std::string(" (") + c.name + ")";
            }
            const int32_t index = output ? outputPort(p, ch) : inputPort(p, ch);
            std::string port = portHead(index, output ? "lv2:AudioPort , lv2:OutputPort"
                                                      : "lv2:AudioPort , lv2:InputPort",
                                        symbol, name);
            if (p.groupClass != nullptr)
                port += " ;\n\t\tpg:group " + groupUri(p, direction);
            if (c.designation != nullptr)
                port += std::string(" ;\n\t\tlv2:designation <") + c.designation + ">";
            add(port);
        }
    }
    t += ports + " .\n";

    if (p.groupClass != nullptr) {
        t += "\n" + groupUri(p, "in") + "\n\ta <" + p.groupClass +
             "> , pg:InputGroup ;\n\tlv2:symbol \"in\" ;\n\trdfs:label \"Input\" .\n";
        t += "\n" + groupUri(p, "out") + "\n\ta <" + p.groupClass +
             "> , pg:OutputGroup ;\n\tlv2:symbol \"out\" ;\n\trdfs:label \"Output\" ;\n\tpg:source " +
             groupUri(p, "in") + " .\n";
    }
    return t;
}

std::string unitTurtle(const char* uri, const char* label, const char* symbol) {
    return std::string("<") + uri + ">\n\ta units:Unit ;\n\trdfs:label " + quoted(label) +
           " ;\n\tunits:symbol " + quoted(symbol) + " ;\n\tunits:render \"%.1f " + symbol + "\" .\n";
}

std::string pluginsTurtle() {
    std::string t = kPrefixes;
    t += "\n" + unitTurtle(kLufsUnitUri, "loudness units relative to full scale", "LUFS");
    t += "\n" + unitTurtle(kDbtpUnitUri, "decibels relative to full scale, true peak", "dBTP");
    for (const PluginInfo& p : kPlugins) t += "\n" + pluginTurtle(p);
    return t;
}

std::string manifestTurtle() {
    std::string t =
        "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (const PluginInfo& p : kPlugins) {
        t += std::string("\n<") + p.uri + ">\n\ta lv2:Plugin ;\n\tlv2:binary <" + kBinaryName +
             "> ;\n\trdfs:seeAlso <" + kTurtleName + "> .\n";
    }
    return t;
}

bool writeFile(const std::string& path, const std::string& text) {
    const std::string partial = path + ".partial";
    FILE* f = std::fopen(partial.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "orvanta_lv2_turtle: cannot create %s: %s\n", partial.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "orvanta_lv2_turtle: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr,
                     "usage: orvanta_lv2_turtle BUNDLE_DIR\n"
                     "Writes manifest.ttl and %s of the LV2 bundle into BUNDLE_DIR.\n",
                     kTurtleName);
        return argc == 2 ? 0 : 1;
    }
    const std::string dir = argv[1];
    const bool ok = writeFile(dir + "/manifest.ttl", manifestTurtle()) &&
                    writeFile(dir + "/" + kTurtleName, pluginsTurtle());
    return ok ? 0 : 1;
}
