# kelvo_embed_text(TARGET FILE): compiles the text of FILE into TARGET as
#   const std::string_view kelvo::embedded::<stem>
# declared in the generated header "embedded/<stem>.h". The bytes are kept exactly.
function(kelvo_embed_text target file)
  get_filename_component(stem ${file} NAME_WE)
  set(out_dir ${CMAKE_BINARY_DIR}/generated/embedded)
  set(out_cpp ${out_dir}/${stem}.cpp)
  set(out_h ${out_dir}/${stem}.h)
  add_custom_command(
    OUTPUT ${out_cpp} ${out_h}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DSTEM=${stem} -DOUT_CPP=${out_cpp} -DOUT_H=${out_h}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedTextRun.cmake
    DEPENDS ${file} ${CMAKE_SOURCE_DIR}/cmake/EmbedTextRun.cmake
    COMMENT "Embedding ${stem}")
  target_sources(${target} PRIVATE ${out_cpp} ${out_h})
endfunction()
