// A minimal LV2 host on lilv, as real hosts do it: load the bundle, find the
// plug-in by URI, read its ports from the Turtle, instantiate the binary,
// connect a value cell to every control port (inputs at their declared
// defaults), run. Shared by the LV2 tests.
#pragma once

#include <lilv/lilv.h>

#include <string>
#include <vector>

namespace lv2host {

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";
constexpr const char* kPortGroups = "http://lv2plug.in/ns/ext/port-groups#";

// One lilv world holding only our bundle (ORVANTA_LV2_BUNDLE), and the nodes
// the tests ask for. Nodes made through node() are freed with the world.
class World {
public:
    World() : world_(lilv_world_new()) {
        std::string dir = ORVANTA_LV2_BUNDLE;
        if (dir.back() != '/') dir += '/';
        LilvNode* bundle = lilv_new_file_uri(world_, nullptr, dir.c_str());
        lilv_world_load_bundle(world_, bundle);
        lilv_node_free(bundle);
        plugins_ = lilv_world_get_all_plugins(world_);
    }
    ~World() {
        for (LilvNode* n : nodes_) lilv_node_free(n);
        lilv_world_free(world_);
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    LilvWorld* get() const { return world_; }
    const LilvPlugins* plugins() const { return plugins_; }
    const LilvNode* node(const std::string& uri) {
        nodes_.push_back(lilv_new_uri(world_, uri.c_str()));
        return nodes_.back();
    }
    const LilvPlugin* plugin(const std::string& uri) { return lilv_plugins_get_by_uri(plugins_, node(uri)); }

private:
    LilvWorld* world_;
    const LilvPlugins* plugins_ = nullptr;
    std::vector<LilvNode*> nodes_;
};

// One instance with a value cell for every control port; audio ports are
// connected by the test.
class Instance {
public:
    Instance(World& world, const LilvPlugin* plugin, double rate) {
        const uint32_t ports = lilv_plugin_get_num_ports(plugin);
        controls_.assign(ports, 0.0f);
        std::vector<float> defaults(ports, 0.0f);
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        instance_ = lilv_plugin_instantiate(plugin, rate, nullptr);
        if (instance_ == nullptr) return;
        const LilvNode* controlClass = world.node(std::string(kLv2) + "ControlPort");
        for (uint32_t p = 0; p < ports; ++p) {
            if (lilv_port_is_a(plugin, lilv_plugin_get_port_by_index(plugin, p), controlClass)) {
                controls_[p] = defaults[p] == defaults[p] ? defaults[p] : 0.0f;  // outputs have no default
                lilv_instance_connect_port(instance_, p, &controls_[p]);
            }
        }
    }
    ~Instance() {
        if (instance_ != nullptr) lilv_instance_free(instance_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance_ != nullptr; }
    float& control(uint32_t port) { return controls_[port]; }
    void connect(uint32_t port, void* data) { lilv_instance_connect_port(instance_, port, data); }
    void activate() { lilv_instance_activate(instance_); }
    void deactivate() { lilv_instance_deactivate(instance_); }
    void run(uint32_t n) { lilv_instance_run(instance_, n); }

private:
    LilvInstance* instance_ = nullptr;
    std::vector<float> controls_;
};

}  // namespace lv2host
