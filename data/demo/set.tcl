read_dls zel.dls
;MelodySetSize=0
precompiled_database pdb.dat
set_egtiming 5.85
set_max_drums 2
set_max_melodic 3
set_resolution 25
set_master_volume 150
read_midi Media/Temp/001.mid
set_resolution 25
set_master_volume 150
read_midi Media/Temp/002.mid
compile
write_stat Media/Temp/set.stt
