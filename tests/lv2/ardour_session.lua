-- Run by ardour7-lua (headless Ardour) on a JACK server, twice. PHASE=create
-- builds a session with two stereo tracks, puts the stereo plug-in on the
-- first, sets Max Gain, prints what Ardour reports and saves; PHASE=reopen
-- opens the saved session and prints what it restored. Every line of
-- interest starts with "result "; the last is "result done true".
--   SESSION_DIR=... PHASE=create|reopen ardour7-lua ardour_session.lua
local dir = os.getenv("SESSION_DIR")
local phase = os.getenv("PHASE")
local uri = "urn:veltrano:orvanta:stereo"
local maxGainParameter = 2  -- the third control input

local function report(key, value) print("result " .. key .. " " .. tostring(value)) end

local function orvanta(track)
  local i = 0
  while true do
    local proc = track:nth_plugin(i)
    if proc:isnil() then return nil end
    local insert = proc:to_plugininsert()
    if not insert:isnil() and insert:plugin(0):unique_id() == uri then return proc end
    i = i + 1
  end
end

AudioEngine:set_backend("JACK", "", "")

if phase == "create" then
create_session(dir, "orvanta", 48000)
local tracks = Session:new_audio_track(2, 2, nil, 2, "track", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
local levelled, plain = tracks:front(), tracks:back()
local plugin = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
report("loaded", not plugin:isnil())
levelled:add_processor_by_index(plugin, 0, nil, true)
ARDOUR.LuaAPI.set_processor_param(plugin, maxGainParameter, 12)
ARDOUR.LuaAPI.usleep(500000)  -- a few process cycles: Ardour reads the latency port
report("name", plugin:to_plugininsert():plugin(0):name())
report("plugin_latency", plugin:signal_latency())
report("levelled_track_latency", levelled:signal_latency())
report("plain_track_latency", plain:signal_latency())
report("session_worst_route_latency", Session:worst_route_latency())
Session:save_state("", false, false, false, false, false)
close_session()
end

if phase == "reopen" then
load_session(dir, "orvanta")
local reopened = nil
for route in Session:get_routes():iter() do
  if reopened == nil and not route:to_track():isnil() then reopened = orvanta(route) end
end
report("reopened", reopened ~= nil)
if reopened ~= nil then
  report("reopened_max_gain", ARDOUR.LuaAPI.get_processor_param(reopened, maxGainParameter))
  ARDOUR.LuaAPI.usleep(500000)
  report("reopened_latency", reopened:signal_latency())
end
close_session()
end
print("result done true")
os.exit(0)
