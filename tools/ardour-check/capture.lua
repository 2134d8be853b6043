ardour {
	["type"]    = "dsp",
	name        = "REDI Check Capture",
	category    = "Utility",
	license     = "MIT",
	author      = "Welmora",
	description = [[Passes stereo audio through and keeps the first seconds of it in shared memory, for a session script to write out.]]
}

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 }, }
end

local frames = 0

function dsp_init (rate)
	frames = math.floor (rate * 4)
	self:shmem ():allocate (1 + 2 * frames)
	self:shmem ():clear ()
	self:shmem ():atomic_set_int (0, 0)
end

function dsp_run (ins, outs, n_samples)
	local shm = self:shmem ()
	local written = shm:atomic_get_int (0)
	local n = math.min (n_samples, frames - written)
	for c = 1, 2 do
		if ins[c] ~= outs[c] then
			ARDOUR.DSP.copy_vector (outs[c], ins[c], n_samples)
		end
		if n > 0 then
			ARDOUR.DSP.copy_vector (shm:to_float (1 + (c - 1) * frames + written), ins[c], n)
		end
	end
	if n > 0 then shm:atomic_set_int (0, written + n) end
end
