# The fuzz seed corpus: small data files of several shapes, packed by apdtool
# at build time (nothing binary is committed).
#   gps_fuzz_seed_corpus(<target> <folder>)
# makes <target>, part of ALL, which fills <folder>.
function(gps_fuzz_seed_corpus target folder)
    set(shapes
        "basic|--flash-random|500|--param-random|70|--seed|1"
        "no-data|--flash-random|0|--param-random|0|--order|identity|--key|0"
        "block-edges|--flash-random|449|--param-random|65|--order|reverse|--key|255|--header-pages|3|--skip-pages|2"
        "long-texts|--flash-random|224|--param-random|64|--data-version|0123456789ABC|--tool-versions|x,,KQDV01.0000,kqdv02.1|--unit-versions|GPSP01.2000,,GPSP02.1000"
        "one-header-page|--flash-random|100|--param-random|10|--header-pages|1"
        "no-skip|--flash-random|100|--param-random|10|--skip-pages|0"
        "other-tool|--flash-random|100|--param-random|10|--tool-versions|KQDV02.0000"
        "big-header-word|--flash-random|100|--param-random|10|--header-word|40000"
        "many-skip|--flash-random|300|--param-random|1|--skip-pages|4|--seed|9"
    )
    set(outputs)
    foreach(shape IN LISTS shapes)
        string(REPLACE "|" ";" args "${shape}")
        list(POP_FRONT args name)
        set(out ${folder}/${name}.apd)
        add_custom_command(
            OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND apdtool pack --output ${out} ${args}
            DEPENDS apdtool
            VERBATIM)
        list(APPEND outputs ${out})
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

# The test tree includes this file for the loader's seeds; there the
# committed corpora of the other fuzz targets are registered for replay too
# (CorpusReplay.cmake). The fuzz build, which has no test tree, skips this.
if(NOT CMAKE_CURRENT_SOURCE_DIR STREQUAL CMAKE_CURRENT_LIST_DIR AND TARGET gps_test_rig)
    include(${CMAKE_CURRENT_LIST_DIR}/CorpusReplay.cmake)
endif()
