# The STY reader on bytes in memory. Seeds: python3 fuzz/sty/make_seeds.py DIR
sbk_add_fuzzer(fuzz_sty_reader ${CMAKE_CURRENT_LIST_DIR}/fuzz_sty_reader.cpp)
# The OC31 decoder and the style facts reader. Seeds: python3 fuzz/sty/make_seeds.py --facts DIR
sbk_add_fuzzer(fuzz_style_facts ${CMAKE_CURRENT_LIST_DIR}/fuzz_style_facts.cpp)
# The import from archives, on a database made once per process. Seeds: python3 fuzz/sty/make_seeds.py --archives DIR
sbk_add_fuzzer(fuzz_archive_import ${CMAKE_CURRENT_LIST_DIR}/fuzz_archive_import.cpp)
