# fish completion for zelsim
complete -c zelsim -f
complete -c zelsim -s p -l port -x -d 'TCP port to listen on (0 = any free port)'
complete -c zelsim -s s -l status -x -a '85 90' -d 'Status code answered to the status query'
complete -c zelsim -l versions -x -d 'Version record LAN,DEVICE,FIRMWARE'
complete -c zelsim -l cut-answers -x -d 'Cut every answer after its first N bytes'
complete -c zelsim -l latency -x -d 'Delay every answer by MS milliseconds'
complete -c zelsim -l jitter -x -d "Vary each answer's delay by up to MS milliseconds"
complete -c zelsim -l restart-ms -x -d 'How long the device is away after an update'
complete -c zelsim -l after-update -x -a 'new old never' -d 'How the device comes back from an update'
complete -c zelsim -l lan-after-update -x -d 'LAN driver version after a LAN driver update'
complete -c zelsim -s h -l help -d 'Show the help text'
complete -c zelsim -l help-all -d "Show the help text with the toolkit's options"
complete -c zelsim -s v -l version -d 'Show the version'
