-- Runs one job in Ardour's headless session host (ardour7-lua):
--   ardour7-lua session.lua JOB
-- JOB is a Lua file returning a table:
--   session_dir, session_name  where the session lives
--   reopen                     true: load the saved session instead of making one
--   plugin_type                "VST3", "LV2", or "none" for a session without
--                              the plug-in (to tell Ardour's own faults from ours)
--   plugin_id                  the plug-in's name (VST 3) or URI (LV2)
--   plugin_name                the name Ardour shows for it
--   length                     frames per export
--   export_dir                 where the exports go, one "<name>.wav" each
--   renders                    list of { name = ..., params = { {label, value}, ... },
--                              preset = label, automation = { label = ..., points =
--                              { {frame, value}, ... } }, from_start = true when the
--                              first render's settings are to reach the plug-in
--                              before its first block }, done in order; settings
--                              carry over from one render to the next
--   save                       true: save the session with the last render's
--                              settings, before its export
-- The session has one stereo track at 48 kHz: a signal source (the Lua DSP
-- "Tolmar Test Signal", written by the test) followed by the plug-in.
-- Prints "tolmar-ardour: done" once everything has worked; Ardour's own
-- teardown after that line is not part of the result.

io.stdout:setvbuf("line")

local job = dofile(arg[1])

local function fail(message)
	print("tolmar-ardour: error: " .. message)
	os.exit(2)
end

local function plugin_type()
	if job.plugin_type == "VST3" then return ARDOUR.PluginType.VST3 end
	if job.plugin_type == "LV2" then return ARDOUR.PluginType.LV2 end
	fail("unknown plug-in type " .. tostring(job.plugin_type))
end

-- Ardour's two numbers for the plug-in's parameter `label`: the parameter
-- number that LuaAPI's set_processor_param takes, and the control port.
local function parameter_index(plugin, label)
	for n = 0, plugin:parameter_count() - 1 do
		local port, ok = plugin:nth_parameter(n, true)
		if ok[2] and plugin:parameter_is_input(port) then
			local _, pd = plugin:get_parameter_descriptor(port, ARDOUR.ParameterDescriptor())
			if pd[2].label == label then return n, port end
		end
	end
	fail("no parameter " .. label)
end

local function find_processor(route, name)
	local i = 0
	while true do
		local proc = route:nth_processor(i)
		if proc:isnil() then return nil end
		if proc:display_name() == name then return proc end
		i = i + 1
	end
end

local function apply(plugin, insert, render)
	if render.preset then
		local preset = plugin:preset_by_label(render.preset)
		if not preset or not preset.valid then fail("no preset " .. render.preset) end
		if not plugin:load_preset(preset) then fail("cannot load the preset " .. render.preset) end
	end
	for _, p in ipairs(render.params or {}) do
		local n = parameter_index(plugin, p[1])
		if not ARDOUR.LuaAPI.set_processor_param(insert, n, p[2]) then
			fail(string.format("Ardour refused %s = %s", p[1], tostring(p[2])))
		end
	end
	if render.automation then
		local _, control_id = parameter_index(plugin, render.automation.label)
		local control = insert:to_automatable():automation_control(
			Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, control_id), false)
		local list = control:alist()
		list:clear_list()
		for _, point in ipairs(render.automation.points) do
			if not list:editor_add(Temporal.timepos_t(point[1]), point[2], false) then
				fail(string.format("Ardour refused the automation point %d, %s", point[1], tostring(point[2])))
			end
		end
		control:set_automation_state(ARDOUR.AutoState.Play)
	end
end

local track, source, insert

if job.reopen then
	if not load_session(job.session_dir, job.session_name) then fail("cannot load the session") end
	track = Session:route_by_name("Delay")
	if track:isnil() then fail("the track is missing after reopening") end
	source = find_processor(track, "Tolmar Test Signal")
	if not source then fail("the signal source is missing after reopening") end
	for i = 0, 32 do
		local proc = track:nth_plugin(i)
		if proc:isnil() then break end
		local pi = proc:to_insert()
		if not pi:isnil() and pi:plugin(0):name() == job.plugin_name then insert = proc end
	end
	if not insert and job.plugin_type ~= "none" then fail("the plug-in is missing after reopening") end
else
	if not create_session(job.session_dir, job.session_name, 48000) then fail("cannot create the session") end
	track = Session:new_audio_track(2, 2, nil, 1, "Delay", -1, ARDOUR.TrackMode.Normal, true, false):front()
	source = ARDOUR.LuaAPI.new_luaproc(Session, "Tolmar Test Signal")
	if source:isnil() then fail("the signal source script was not found") end
	if track:add_processor_by_index(source, 0, nil, true) ~= 0 then fail("cannot add the signal source") end
	if job.plugin_type ~= "none" then
		insert = ARDOUR.LuaAPI.new_plugin(Session, job.plugin_id, plugin_type(), "")
		if insert:isnil() then fail("Ardour did not find the plug-in " .. job.plugin_id) end
		-- Settings that are to reach the plug-in with its first block.
		local first = job.renders[1]
		if first.from_start then
			apply(insert:to_insert():plugin(0), insert, first)
			first.applied = true
		end
		if track:add_processor_by_index(insert, 1, nil, true) ~= 0 then fail("cannot add the plug-in") end
	end
end

local plugin = insert and insert:to_insert():plugin(0)
if plugin then
	print(string.format("tolmar-ardour: %s plug-in \"%s\" on track \"%s\"", job.plugin_type, plugin:name(), track:name()))
end

-- The source plays the signal at the track's timeline position, so that the
-- export holds it where the timeline has it: ahead by the latency of the
-- track and everything downstream (the track's own share alone reads 0 at
-- times). Ardour works latencies out in the background after the session
-- changes: it is read once it has settled, just before each export.
local function align_source()
	local latency = track:playback_latency(true)
	for _ = 1, 50 do
		ARDOUR.LuaAPI.usleep(100000)
		local now = track:playback_latency(true)
		if now == latency then break end
		latency = now
	end
	ARDOUR.LuaAPI.set_processor_param(source, 0, latency)
	return latency
end

-- Ardour 7.3 often finds its heap corrupt when an export's channels are
-- freed (the garbage collector freeing a SimpleExport): the exporters are
-- kept until the session closes, after the success line.
local exporters = {}

local function export(name)
	local latency = align_source()
	local e = Session:simple_export()
	exporters[#exporters + 1] = e
	e:set_folder(job.export_dir)
	e:set_name(name)
	e:set_range(0, job.length)
	if not e:set_preset(job.export_preset) then fail("no export preset " .. job.export_preset) end
	if not e:run_export() then fail("the export of " .. name .. " failed") end
	print(string.format("tolmar-ardour: exported %s (track latency %d frames)", name, latency))
end

for _, render in ipairs(job.renders) do
	if not render.applied then apply(plugin, insert, render) end
	-- Values set from this thread reach the plug-in in the next cycles.
	ARDOUR.LuaAPI.usleep(200000)
	local values = {}
	for n = 0, plugin and plugin:parameter_count() - 1 or -1 do
		local port, ok = plugin:nth_parameter(n, true)
		if ok[2] and plugin:parameter_is_input(port) then
			local _, pd = plugin:get_parameter_descriptor(port, ARDOUR.ParameterDescriptor())
			values[#values + 1] = string.format("%s=%.9g", pd[2].label, ARDOUR.LuaAPI.get_processor_param(insert, n, true))
		end
	end
	print("tolmar-ardour: " .. render.name .. ": " .. table.concat(values, " "))
	-- Saved before the export: Ardour's export damages its heap now and then
	-- (see above), and a save after it is where that shows most often.
	if job.save and render == job.renders[#job.renders] then
		if Session:save_state("", false, false, false, false, false) ~= 0 then fail("cannot save the session") end
		print("tolmar-ardour: saved")
	end
	export(render.name)
end

print("tolmar-ardour: done")
close_session()
