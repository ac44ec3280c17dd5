# fish completion for zelctl
set -l commands status list copy decode screenshot slots update doctor

complete -c zelctl -f
complete -c zelctl -l device -x -d 'Address of the device, HOST[:PORT]'
complete -c zelctl -l simulator -d 'Use a built-in simulated device on 127.0.0.1'
complete -c zelctl -l latency -x -d 'With --simulator: delay every answer (ms)'
complete -c zelctl -l jitter -x -d 'With --simulator: vary each delay either way (ms)'
complete -c zelctl -l json -d 'Machine-readable output on standard output'
complete -c zelctl -l timeout -x -d 'How long to wait for an answer (ms)'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -l wait -x -d 'Wait for another program to let go of the device (s)'
complete -c zelctl -s h -l help -d 'Show the help text'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'

complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a status -d 'Which image runs, and the version text'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a list -d 'The recordings on the device'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a copy -d 'Copy recordings into WAV or raw files'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a decode -d 'Decode a raw copy into a WAV file'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a screenshot -d "Copy the device's screen into a BMP or PNG file"
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a slots -d 'Read, write, compare or clear the memory slots'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a update -d 'Check and upload a firmware file'
complete -c zelctl -n "not __fish_seen_subcommand_from $commands" -a doctor -d 'Why the device can or cannot be used, step by step'

complete -c zelctl -n '__fish_seen_subcommand_from copy' -l all -d 'Every recording'
complete -c zelctl -n '__fish_seen_subcommand_from copy' -l new -d 'Every recording whose file does not exist yet'
complete -c zelctl -n '__fish_seen_subcommand_from copy' -s o -l output -x -a '(__fish_complete_directories)' -d 'The folder the files go to'
complete -c zelctl -n '__fish_seen_subcommand_from copy' -l raw -d 'Store the raw copy (.HEX)'
complete -c zelctl -n '__fish_seen_subcommand_from copy' -l name -x -d 'File name from {index} and {name}'
complete -c zelctl -n '__fish_seen_subcommand_from copy' -l overwrite -d 'Replace existing files'

complete -c zelctl -n '__fish_seen_subcommand_from decode' -l rate -x -a '40960 81920 122880 163840' -d "The recording's rate"
complete -c zelctl -n '__fish_seen_subcommand_from decode' -l layout -x -a '4096 256' -d 'The sub-block size'
complete -c zelctl -n '__fish_seen_subcommand_from decode' -s o -l output -r -F -d 'The WAV file'
complete -c zelctl -n '__fish_seen_subcommand_from decode' -F

complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -s o -l output -r -F -d 'The picture file (.bmp or .png)'
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l preset -x -a 'full-vga full-wvga diagram-vga diagram-wvga' -d "The preset's screen"
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l area -x -d 'The rectangle X,Y,W,H'
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l frame-colour -l frame-color -x -d 'Colour around the copy'
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l crop -d 'Write the copied rectangle alone'
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l every -x -d 'A series: a picture every SECONDS'
complete -c zelctl -n '__fish_seen_subcommand_from screenshot' -l count -x -d 'How many pictures the series takes'

complete -c zelctl -n '__fish_seen_subcommand_from slots; and not __fish_seen_subcommand_from read write diff clear' -a 'read write diff clear'
complete -c zelctl -n '__fish_seen_subcommand_from read' -s o -l output -r -F -d 'The slot file or table'
complete -c zelctl -n '__fish_seen_subcommand_from write' -F
complete -c zelctl -n '__fish_seen_subcommand_from write' -l no-backup -d "Write without keeping the device's slots first"
complete -c zelctl -n '__fish_seen_subcommand_from write' -l only-changed -d 'Write only the slots that differ'
complete -c zelctl -n '__fish_seen_subcommand_from diff' -F -a device -d 'A slot file, a table or the device'
complete -c zelctl -n '__fish_seen_subcommand_from clear' -l yes -d 'Clear without asking'

complete -c zelctl -n '__fish_seen_subcommand_from update' -l target -x -a 'pocket lan' -d 'The kind of update file'
complete -c zelctl -n '__fish_seen_subcommand_from update' -l yes -d "Answer Yes to the checks' questions"
complete -c zelctl -n '__fish_seen_subcommand_from update' -l dry-run -d 'Run every check, send nothing'
complete -c zelctl -n '__fish_seen_subcommand_from update' -l verify-timeout -x -d 'How long to wait for the device to come back (s)'
complete -c zelctl -n '__fish_seen_subcommand_from update' -l no-verify -d 'Do not wait for the device to come back'
complete -c zelctl -n '__fish_seen_subcommand_from update' -F
