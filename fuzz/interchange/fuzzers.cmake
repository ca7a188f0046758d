# libFuzzer targets of the SSF reader and of the PDD validation pass and restore.
sbk_add_fuzzer(fuzz_ssf_read ${CMAKE_CURRENT_LIST_DIR}/SsfReadFuzzer.cpp)
# The PDD validation pass and restore. Seeds: python3 fuzz/interchange/make_seeds.py DIR
sbk_add_fuzzer(fuzz_pdd_restore ${CMAKE_CURRENT_LIST_DIR}/PddRestoreFuzzer.cpp)
