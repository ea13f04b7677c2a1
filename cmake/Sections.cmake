# Section garbage collection for every program and shared object: each
# function and each datum gets a section of its own, and the linker drops
# the sections that nothing reachable refers to. What must stay without a
# reference stays: the sections of the entry point and of symbols named with
# --undefined (the platform's hooks), constructors and static registration
# objects (.init_array), and every symbol a program or shared object exports
# to the dynamic symbol table (ENABLE_EXPORTS hosts, plug-ins), which the
# linker treats as roots.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(LINKER:--gc-sections)
