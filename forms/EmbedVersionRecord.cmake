# velmora_embed_version_record(<target>): embeds Velmora's version record (product name,
# versions from project(), company, legal notice) into the executable <target>, where
# GetVersionResource finds it.
function(velmora_embed_version_record target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.cpp)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VelmoraVersionRecord.cpp.in ${generated} @ONLY)
  target_sources(${target} PRIVATE ${generated})
  target_link_libraries(${target} PRIVATE velmora_platform)
endfunction()
