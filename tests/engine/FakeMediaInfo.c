/* A library that has the name of libmediainfo but none of its entry points. */
int talvora_fake_mediainfo_marker(void) { return 0; }
