# Keeps a target away from libraries it must never link.
#
#   quorvane_forbid_links(<target> FORBIDDEN <library>... WHY <text>)
#
# Walks everything <target> links, directly and through the libraries it
# links, and stops the configuration with a clear message when one of the
# forbidden libraries is among them. Call it after every target it may
# reach is defined (the end of the directory that defines <target> is late
# enough when the libraries come from directories added before it).

# Every library target that target links, directly or indirectly.
function(quorvane_link_closure target out)
  set(seen "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo current)
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      set(current ${aliased})
    endif()
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    set(links "")
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(values ${current} ${property})
      if(values)
        list(APPEND links ${values})
      endif()
    endforeach()
    foreach(link IN LISTS links)
      # Static libraries hand their private dependencies on as $<LINK_ONLY:...>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(TARGET ${link})
        list(APPEND todo ${link})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(quorvane_forbid_links target)
  cmake_parse_arguments(F "" "WHY" "FORBIDDEN" ${ARGN})
  quorvane_link_closure(${target} closure)
  foreach(forbidden IN LISTS F_FORBIDDEN)
    if(forbidden IN_LIST closure)
      message(FATAL_ERROR
        "Forbidden link: target '${target}' links '${forbidden}' (it links: ${closure}). ${F_WHY}")
    endif()
  endforeach()
endfunction()
