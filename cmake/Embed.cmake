# qvt_embed_binary(<output.cpp> <input> <symbol>): turns a binary file into a C++ byte array,
# regenerated whenever the file changes, so product data is never committed twice.
set(QVT_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedScript.cmake)

function(qvt_embed_binary output input symbol)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P ${QVT_EMBED_SCRIPT}
    DEPENDS ${input} ${QVT_EMBED_SCRIPT}
    COMMENT "Embedding ${input}"
    VERBATIM)
endfunction()
