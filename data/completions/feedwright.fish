# fish completion for feedwright
complete -c feedwright -l batch -r -F -d 'Read the feed addresses from a URL file or OPML list'
complete -c feedwright -l out -x -a '(__fish_complete_directories)' -d 'Save every entry as a file in this folder'
complete -c feedwright -l list -d 'Write every entry to standard output as JSON Lines'
complete -c feedwright -l jobs -x -d 'Download up to N feeds at once'
complete -c feedwright -l timeout -x -d 'Give every download at most this many seconds'
complete -c feedwright -l max-rows -x -d 'Keep at most N entries in all'
complete -c feedwright -l format -x -a 'text html markdown json' -d 'What each saved file holds'
complete -c feedwright -l name -x -d 'How saved files are named'
complete -c feedwright -l archive -d "Also read each feed's archive, page after page"
complete -c feedwright -l archive-pages -x -d 'Read at most N pages of a feed'
complete -c feedwright -l no-cache -d 'Download every feed whole and keep nothing'
complete -c feedwright -l quiet -d 'Write only failures to standard error'
complete -c feedwright -l only-new -d 'Save only the entries not yet saved into the folder'
complete -c feedwright -l catch-up -d 'Record every entry as saved and write nothing'
complete -c feedwright -l enclosures -d "Also download each saved entry's enclosures beside its file"
complete -c feedwright -l enclosure-max-bytes -x -d 'The largest enclosure downloaded'
complete -c feedwright -s h -l help -d 'Show the usage'
complete -c feedwright -l version -d 'Show the name and version'
