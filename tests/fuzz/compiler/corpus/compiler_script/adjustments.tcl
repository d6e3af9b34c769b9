set_chn_volume_adjustment 10 -5
set_instr_volume_adjustment * 3 * -5
set_instr_volume_adjustment 0 3 40 2
remap_program * 5 0 0
remap_region a mel 0 0 * * * * 0 0 60 100
