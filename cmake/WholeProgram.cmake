# r6140k_whole_program(TARGET LIBRARY): TARGET compiles the sources of LIBRARY
# and of every library of the project that it links, in two unity files,
# instead of linking those libraries. Each unity file reads the Qt headers
# once, and reading them is most of a build's time: the first look, which
# builds the panel alone, starts sooner so.
function(r6140k_whole_program target library)
  set(pending ${library})
  set(seen)
  # Counted rather than while(pending), which a list ending in a name
  # ending in -NOTFOUND would end.
  list(LENGTH pending left)
  while(left GREATER 0)
    list(POP_FRONT pending name)
    list(LENGTH pending left)
    if(name IN_LIST seen OR NOT TARGET ${name})
      continue() # seen, or a generator expression
    endif()
    list(APPEND seen ${name})
    get_target_property(type ${name} TYPE)
    if(NOT name MATCHES "^r6140k_" OR NOT type STREQUAL "STATIC_LIBRARY")
      # Qt's, the version header, the panel's compiled resources
      target_link_libraries(${target} PRIVATE ${name})
      continue()
    endif()
    get_target_property(folder ${name} SOURCE_DIR)
    get_target_property(sources ${name} SOURCES)
    list(TRANSFORM sources PREPEND ${folder}/ REGEX "^[^/]")
    list(FILTER sources INCLUDE REGEX "\\.(h|cpp)$")
    target_sources(${target} PRIVATE ${sources})
    target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target} PRIVATE $<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links ${name} ${property})
      if(links)
        list(APPEND pending ${links})
      endif()
    endforeach()
    list(LENGTH pending left)
  endwhile()
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  math(EXPR half "(${count} + 1) / 2")
  set_target_properties(${target} PROPERTIES UNITY_BUILD_BATCH_SIZE ${half})
endfunction()
