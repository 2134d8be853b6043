-- A headless Ardour session around REDI's VST 3 bundle: a MIDI track with
-- REDI as its instrument, fed by the check source (a spoken phrase on the
-- main input, a held chord over MIDI), its output captured for 3 s and
-- written to $OUT as 32-bit float stereo. VOICE=0 or CHORD=0 leave one out.
ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""))
local dir = os.getenv("SESSION_DIR")
os.execute("rm -rf '" .. dir .. "'")
assert(create_session(dir, "redi-check", 48000), "no session")

local info = ARDOUR.LuaAPI.new_plugin_info("REDI", ARDOUR.PluginType.VST3)
assert(not info:isnil(), "Ardour does not know REDI")
print("plugin:", info.name, info.creator, info.category)
local tracks = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
  ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), false, info, nil, nil, 1, "REDI",
  ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, true)
local track = tracks:front()
local source = ARDOUR.LuaAPI.new_luaproc(Session, "REDI Check Source")
local capture = ARDOUR.LuaAPI.new_luaproc(Session, "REDI Check Capture")
assert(not source:isnil() and not capture:isnil(), "the check's processors are missing")
assert(track:add_processor_by_index(source, 0, nil, true) == 0)
assert(track:add_processor_by_index(capture, 2, nil, true) == 0)
local voiceOn = os.getenv("VOICE") ~= "0"
local chordOn = os.getenv("CHORD") ~= "0"
ARDOUR.LuaAPI.set_processor_param(source, 0, voiceOn and 1 or 0)
ARDOUR.LuaAPI.set_processor_param(source, 1, chordOn and 1 or 0)
print("voice on the main input:", voiceOn, "chord over MIDI:", chordOn)

local redi = track:nth_plugin(1):to_insert()
print("chain:", track:nth_plugin(0):name(), "->", redi:name(), "->", track:nth_plugin(2):name())
print("REDI pins:", redi:natural_input_streams():n_audio(), "audio in,",
  redi:natural_input_streams():n_midi(), "MIDI in,", redi:natural_output_streams():n_audio(),
  "audio out; fed:", redi:input_streams():n_audio(), "audio,", redi:input_streams():n_midi(), "MIDI")

Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(3000000)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)

local shm = capture:to_insert():plugin(0):to_luaproc():shmem()
local written, frames = shm:atomic_get_int(0), 48000 * 4
local left, right = shm:to_float(1):array(), shm:to_float(1 + frames):array()
local out = io.open(os.getenv("OUT"), "wb")
local sumsq, top = 0, 0
for k = 1, written do
  out:write(string.pack("<ff", left[k], right[k]))
  sumsq = sumsq + left[k] * left[k] + right[k] * right[k]
  top = math.max(top, math.abs(left[k]), math.abs(right[k]))
end
out:close()
local meanSquare = sumsq / math.max(2 * written, 1)
print(string.format("REDI output: %d frames, peak %.4f (%.1f dBFS), RMS %.1f dBFS", written, top,
  20 * math.log(math.max(top, 1e-12), 10), 10 * math.log(math.max(meanSquare, 1e-24), 10)))
Session:save_state("", false, false, false, false, false)
close_session()
