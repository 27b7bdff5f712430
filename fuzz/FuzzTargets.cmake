# The fuzz targets that start from a committed corpus (fuzz/corpus/<name>):
# name|source. The fuzz build makes fuzz_<name> of each; the test tree
# replays each corpus through the same source (CorpusReplay.cmake).
set(gps_fuzz_targets
    "sentence|SentenceFuzzer.cpp"
    "reply|ReplyFuzzer.cpp"
    "config|ConfigFuzzer.cpp"
    "settings|SettingsFuzzer.cpp"
    "session|SessionFuzzer.cpp"
)
