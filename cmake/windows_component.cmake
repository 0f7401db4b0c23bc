# (filled below)
