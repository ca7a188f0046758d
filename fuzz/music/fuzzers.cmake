# The reader of what a style plays, and its consumers. Seeds: python3 fuzz/music/make_seeds.py DIR
sbk_add_fuzzer(fuzz_style_music ${CMAKE_CURRENT_LIST_DIR}/fuzz_style_music.cpp)
