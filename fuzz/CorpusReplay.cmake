# Replays every committed fuzz corpus (fuzz/corpus/<name>) without libFuzzer,
# as the test fuzz_replay_<name>, in every build that has the test tree: the
# fuzz target's source with ReplayMain.cpp, linked to the plain libraries and
# the headless window of the test support. Every input must pass the
# target's checks.
include(${CMAKE_CURRENT_LIST_DIR}/FuzzTargets.cmake)
foreach(entry IN LISTS gps_fuzz_targets)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 source)
    add_executable(replay_${name} ${CMAKE_CURRENT_LIST_DIR}/${source}
                                  ${CMAKE_CURRENT_LIST_DIR}/ReplayMain.cpp)
    target_include_directories(replay_${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(replay_${name} PRIVATE gps_test_rig gps_app_core)
    add_test(NAME fuzz_replay_${name}
             COMMAND replay_${name} ${CMAKE_CURRENT_LIST_DIR}/corpus/${name})
    set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS fuzz)
endforeach()
