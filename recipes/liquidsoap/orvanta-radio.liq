# A radio stream levelled by Orvanta: a playlist (or one file), levelled to
# -16 LUFS under -1 dBTP, sent to an Icecast server, or written to a WAV file
# when an output file is given. liquidsoap searches only its own LADSPA
# folders: point it at Orvanta's with LIQ_LADSPA_DIRS.
#
#   LIQ_LADSPA_DIRS=/usr/lib/ladspa liquidsoap orvanta-radio.liq -- PLAYLIST_OR_FILE [OUT.wav]
# Icecast: set ICECAST_HOST, ICECAST_PORT, ICECAST_PASSWORD, ICECAST_MOUNT.
def env(name, default)
  v = getenv(name)
  if v == "" then default else v end
end
music = argv(default="", 1)
out = argv(default="", 2)
s = if out == "" then playlist(music) else once(single(music)) end
s = ladspa.orvt_stereo(target_level=-16., true_peak=-1., max_gain=12., freeze_level=-50., s)
if out == "" then
  ignore(output.icecast(%mp3(bitrate=128), host=env("ICECAST_HOST", "localhost"),
    port=int_of_string(env("ICECAST_PORT", "8000")), password=env("ICECAST_PASSWORD", "hackme"),
    mount=env("ICECAST_MOUNT", "orvanta"), mksafe(s)))
else
  # A file is levelled as fast as the machine goes, and liquidsoap ends with it.
  clock.assign_new(sync="none", [s])
  ignore(output.file(%wav, out, fallible=true, on_stop=shutdown, s))
end
