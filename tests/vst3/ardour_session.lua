-- Run by Ardour's headless Lua host on its dummy backend, whose inputs play
-- a sine sweep: a 48 kHz session whose stereo track records 2.5 s of the
-- sweep; then the stereo effect on that track, which is bounced (Ardour
-- compensates the latency) from a fresh start, and again bypassed. Lines of
-- interest start with "result ".
local gainMeter = 9  -- parameter index
local function report(key, value) print("result " .. key .. " " .. tostring(value)) end
local function wait(seconds) ARDOUR.LuaAPI.usleep(math.floor(seconds * 1000000)) end

AudioEngine:set_backend("None (Dummy)", "", ""):set_device_name("Sine Sweep")
create_session(os.getenv("SESSION_DIR"), "session", 48000)
local track = Session:new_audio_track(2, 2, nil, 1, "sweep", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
Session:maybe_enable_record(false)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
wait(2.5)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
wait(1)
Session:disable_record(false, false)

local region
for r in track:playlist():region_list():iter() do region = r:to_audioregion() end
region:set_fade_in_active(false)
region:set_fade_out_active(false)
local from, to = region:position():samples(), (region:position() + region:length()):samples()
local function bounce(name)
  return not track:bounce_range(from, to, ARDOUR.InterThreadInfo(), track:main_outs(), false, name):isnil()
end
local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Orvanta", ARDOUR.PluginType.VST3, "")
report("loaded", not plugin:isnil())
track:add_processor_by_index(plugin, 0, nil, true)
wait(0.5)
report("plugin_latency", plugin:signal_latency())
report("track_latency", track:signal_latency())
plugin:deactivate()
plugin:activate()
report("levelled", bounce("levelled"))
report("gain_meter_moved", ARDOUR.LuaAPI.get_processor_param(plugin, gainMeter) ~= 0)
plugin:to_plugininsert():enable(false)
report("bypassed_latency", plugin:signal_latency())
report("bypassed", bounce("bypassed"))
close_session()
print("result done true")
os.exit(0)
