-- Drives Ardour's headless Lua session tool (ardour7-lua) for the round-trip test of tests/ardour/roundtrip.sh.
--
--   ardour7-lua session.lua create FOLDER FORMAT INPUT.wav TAIL_SECONDS
--       makes a 44.1 kHz session with one stereo track that plays INPUT.wav (a stereo file at 44.1 kHz) from the
--       start, and TAIL_SECONDS after it
--   ardour7-lua session.lua insert FOLDER FORMAT
--       opens it, inserts Vellumar (FORMAT: VST3 or LV2) on the track, sets the parameters below and saves
--   ardour7-lua session.lua check FOLDER FORMAT
--       opens the saved session, checks that the plug-in came back (a VST3's with those values, which Ardour reads
--       from the plug-in) and saves it again, so that the session holds the state the reopened plug-in gives
--
-- ardour7-lua has no file import (that lives in Ardour's editor), so the track's region is written into the saved
-- session: two sources reading the file's channels, a whole-file region and a copy of it on the track's playlist.

local settings = {
    -- ID, name, value in the plug-in's units; for the VST3, where a host sets 0..1, the range and the centre of a
    -- skewed one, as in engine/parameters/ParameterLayout.cpp. The response switches are left alone: the plug-in
    -- follows them at its first preparation only, which comes before a host can set anything (roundtrip.sh selects
    -- the pair in the saved state instead).
    -- Decay is automated instead, a flat line in Play mode, which the plug-in hears from Ardour only once it plays.
    { id = "Decay", name = "Decay", value = 1.0, low = 0.2, high = 10.0, centre = 3.0, automated = true },
    { id = "Mix", name = "Mix", value = 60.0, low = 0.0, high = 100.0 },
    { id = "Character", name = "Character", value = 40.0, low = 0.0, high = 100.0 },
}

local mode, folder, format = arg[1], arg[2], arg[3]
local name = folder:match ("([^/]+)/*$") -- Ardour names the session's media folder after the session's folder
local rate = 44100
local superclocksPerSample = 282240000 // rate -- Ardour's audio time unit

-- Ends the line itself: the tool quits without flushing its standard output.
local function say (message)
    io.stderr:write (message .. "\n")
end

local function fail (message)
    error (message, 0)
end

-- The value Ardour's control takes: the plug-in's own units in an LV2, 0..1 in a VST3.
local function hostValue (s)
    if format == "LV2" then return s.value end
    local proportion = (s.value - s.low) / (s.high - s.low)
    if s.centre then
        proportion = proportion ^ (math.log (0.5) / math.log ((s.centre - s.low) / (s.high - s.low)))
    end
    return proportion
end

-- The plug-in's control for a parameter: a VST3 names it after the parameter's name, an LV2 after its property URI.
local function control (proc, id, name)
    local automatable = proc:to_automatable ()
    for p in automatable:all_automatable_params ():iter () do
        local c = automatable:automation_control (p, false)
        local n = c:name ()
        if n == id or n == name or n == "property-urn:quelt:vellumar:" .. id then return c end
    end
    fail ("the plug-in has no control for " .. id)
end

local function plugin ()
    local track = Session:route_by_name ("Input")
    if track:isnil () then fail ("the track is missing") end
    local proc = track:nth_plugin (0)
    if proc:isnil () or proc:display_name () ~= "Vellumar" then fail ("Vellumar is not on the track") end
    return track, proc
end

local function readFile (path)
    local f = assert (io.open (path, "rb"))
    local text = f:read ("a")
    f:close ()
    return text
end

local function writeFile (path, text)
    local f = assert (io.open (path, "wb"))
    f:write (text)
    f:close ()
end

-- Frames in a WAV file: the data chunk's size over the format chunk's frame size.
local function wavFrames (path)
    local bytes = readFile (path)
    local pos, blockAlign = 13, nil
    while pos + 8 <= #bytes do
        local id, size = string.unpack ("<c4I4", bytes, pos)
        if id == "fmt " then blockAlign = string.unpack ("<I2", bytes, pos + 20) end
        if id == "data" and blockAlign then return size // blockAlign end
        pos = pos + 8 + size + size % 2
    end
    fail (path .. " is not a WAV file")
end

-- Adds the sources, the regions and the session range to the saved session file.
local function addRegion (input, tailSeconds)
    local sessionFile = folder .. "/" .. name .. ".ardour"
    local xml = readFile (sessionFile)
    local frames = wavFrames (input)
    local fileName = "input.wav"
    writeFile (folder .. "/interchange/" .. name .. "/audiofiles/" .. fileName, readFile (input))

    local counter = tonumber (xml:match ('id%-counter="(%d+)"'))
    local ids = { counter + 1, counter + 2, counter + 3, counter + 4, counter + 5 }
    local length = string.format ("a%d@a0", frames * superclocksPerSample)
    local sessionEnd = (frames + math.floor (tailSeconds * rate)) * superclocksPerSample

    local sources = ""
    for channel = 0, 1 do
        sources = sources .. string.format ('    <Source name="%s" type="audio" flags="" id="%d" captured-for="" '
            .. 'take-id="" channel="%d" origin="" natural-position="a0" gain="1"/>\n',
            fileName, ids[channel + 1], channel)
    end
    -- Fades off, so that the region plays the file as it is.
    local function region (id, wholeFile)
        return string.format ('<Region name="input" muted="0" opaque="1" locked="0" video-locked="0" '
            .. 'automatic="%d" whole-file="%d" import="0" external="0" sync-marked="0" left-of-split="0" '
            .. 'right-of-split="0" hidden="0" position-locked="0" valid-transients="0" start="a0" length="%s" '
            .. 'sync-position="a0" ancestral-start="a0" ancestral-length="a0@a0" stretch="1" shift="1" '
            .. 'layering-index="0" tags="" contents="0" envelope-active="0" default-fade-in="0" default-fade-out="0" '
            .. 'fade-in-active="0" fade-out-active="0" scale-amplitude="1" id="%d" type="audio" first-edit="nothing" '
            .. 'source-0="%d" source-1="%d" master-source-0="%d" master-source-1="%d" channels="2"/>',
            wholeFile, wholeFile, length, id, ids[1], ids[2], ids[1], ids[2])
    end

    local function replace (pattern, replacement)
        local replaced
        local replace = type (replacement) == "function" and replacement or function () return replacement end
        xml, replaced = xml:gsub (pattern, replace, 1)
        if replaced ~= 1 then fail ("the saved session has no " .. pattern) end
    end
    replace ('id%-counter="%d+"', string.format ('id-counter="%d"', ids[5]))
    replace ("<Sources/>", "<Sources>\n" .. sources .. "  </Sources>")
    replace ("<Regions/>", "<Regions>\n    " .. region (ids[3], 1) .. "\n  </Regions>")
    replace ("<Locations/>", string.format ('<Locations>\n    <Location id="%d" name="session" start="a0" end="a%d" '
        .. 'flags="IsSessionRange" locked="0" timestamp="0" cue="0"/>\n  </Locations>', ids[5], sessionEnd))
    replace ('(<Playlist [^>]*name="Input" [^>]*)/>', function (open)
        return open .. ">\n      " .. region (ids[4], 0) .. "\n    </Playlist>"
    end)
    writeFile (sessionFile, xml)
end

AudioEngine:set_backend ("None (Dummy)", "", "")
local pluginType = format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3

local function create ()
    local input, tailSeconds = arg[4], tonumber (arg[5])
    if not create_session (folder, name, rate) then fail ("cannot create a session in " .. folder) end
    local tracks = Session:new_audio_track (2, 2, nil, 1, "Input", ARDOUR.PresentationInfo.max_order,
                                            ARDOUR.TrackMode.Normal, true)
    if tracks:size () ~= 1 then fail ("cannot add a stereo track") end
    -- Ardour connects a new track to the master bus on a thread of its own, which may not have run by the time
    -- the session is saved; the export plays the master bus, so the track is connected here.
    for channel = 0, 1 do
        local port = tracks:front ():output ():audio (channel)
        local master = Session:master_out ():input ():audio (channel):name ()
        port:connect (master)
        if not port:connected_to (master) then fail ("cannot connect the track to the master bus") end
    end
    Session:save_state ("", false, false, false, false, false)
    tracks = nil
    collectgarbage ()
    close_session ()

    addRegion (input, tailSeconds)
    say ("created " .. folder)
end

-- A session closed in this tool cannot be opened again in the same run, so the plug-in goes in in a run of its own.
local function insert ()
    if not load_session (folder, name) then fail ("cannot open the session with the region") end
    local track = Session:route_by_name ("Input"):to_track ()
    if track:playlist ():region_list ():size () ~= 1 then fail ("the region did not load") end

    local proc = ARDOUR.LuaAPI.new_plugin (Session, "Vellumar", pluginType, "")
    if proc:isnil () then fail ("Ardour did not find the " .. format .. " of Vellumar") end
    if track:add_processor_by_index (proc, 0, nil, true) ~= 0 then fail ("cannot insert the plug-in") end

    for _, s in ipairs (settings) do
        local c = control (proc, s.id, s.name)
        if s.automated then
            for _, seconds in ipairs ({ 0, 60 }) do
                c:alist ():add (Temporal.timepos_t (seconds * rate), hostValue (s), false, true)
            end
            c:set_automation_state (ARDOUR.AutoState.Play)
        else
            c:set_value (hostValue (s), PBD.GroupControlDisposition.NoGroup)
        end
    end
    -- An LV2 gets the values in its next run() calls, so the engine runs a few cycles before the state is taken.
    ARDOUR.LuaAPI.usleep (300000)
    Session:save_state ("", false, false, false, false, false)
    say ("inserted the " .. format .. " and set its parameters")
end

-- roundtrip.sh checks the state saved here for the values and the response pair: an LV2's controls read 0 here.
-- Ardour 7.3 holds for an LV2's properties only the values it set itself, neither saved with the session nor taken
-- from the plug-in, which sends every value after a restore.
local function check ()
    if not load_session (folder, name) then fail ("cannot reopen the session") end
    local _, proc = plugin ()
    -- A VST3's control reads the value from the plug-in itself.
    for _, s in ipairs (format == "VST3" and settings or {}) do
        local value = control (proc, s.id, s.name):get_value ()
        if math.abs (value - hostValue (s)) > 1.0e-4 then
            fail (string.format ("%s came back as %g, not %g", s.id, value, hostValue (s)))
        end
    end
    Session:save_state ("", false, false, false, false, false)
    say ("the plug-in came back")
end

-- An error that leaves the script ends the tool with a crash, so errors are caught here. The session closes once
-- the mode's references to its tracks and plug-ins are collected: one still held would be destroyed after the
-- engine, which crashes the tool as it quits.
local modes = { create = create, insert = insert, check = check }
local ok, message = pcall (modes[mode] or function () fail ("unknown mode " .. tostring (mode)) end)
collectgarbage ()
pcall (close_session)
if not ok then
    say ("FAIL: " .. tostring (message))
    os.exit (1)
end
quit ()
