SET_FS 8000 ; comment
