read_dls bank.dls
read_midi song.mid
read_pt3 song.pt3
read_fxm song.fxm
compile
write_samples_bin 0 out.bin
