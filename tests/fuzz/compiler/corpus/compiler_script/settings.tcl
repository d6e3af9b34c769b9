; settings
set_fs 10416.666
set_timebase 8000
set_egtiming 5.86
set_channel_prio 10 3
set_channel_mask 2 0
set_max_drums 2
set_max_melodic 4
set_resolution 96
set_song_type bell
set_master_volume 300
set_song_flags 7
use_r101xp
set_key 0123456789ABCDEF0123456789abcdef
reset_priority
