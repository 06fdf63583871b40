#!/usr/bin/perl
# Reads a handheld's databases and the backup files made of them with Palm::PDB, an outside
# reader of Palm databases, and checks that every database has exactly one backup file that
# holds it: header, attributes, AppInfo block, and each record (attributes, category, unique
# ID, data) or resource (type, ID, data). What a backup changes on purpose is expected:
# the open flag is never kept, a flash-ROM database's read-only flag goes, and an archived
# record is kept as a deleted one.
#
# Usage: backup_check.pl HANDHELD_FOLDER BACKUP_FOLDER [rom] [lagging] [EXCLUDED NAME...]
#   HANDHELD_FOLDER: the databases as the handheld held them when the backup began
#   rom:             the folder is the flash ROM's (rom-added/), backed up into ROM_Files
#   lagging:         the handheld has been backed up since some files were written: a file
#                    holds the backup date its database had when it was read, which the
#                    handheld has renewed since
# Prints one line per difference and "N databases match" at the end; exit status 1 on any.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

Palm::PDB::RegisterPRCHandlers('Palm::Raw', ['', '']);
Palm::PDB::RegisterPDBHandlers('Palm::Raw', ['', '']);

my ($handheld, $backup, @rest) = @ARGV;
die "usage: backup_check.pl HANDHELD_FOLDER BACKUP_FOLDER [rom] [lagging] [EXCLUDED...]\n"
    unless defined $backup;
my $rom = @rest && $rest[0] eq 'rom' ? shift @rest : '';
my $lagging = @rest && $rest[0] eq 'lagging' ? shift @rest : '';
my %excluded = map { $_ => 1 } @rest;
my @problems;

# Palm::PDB wants a NUL in the name field; a name of 32 characters fills the field without
# one, as the format allows. Such a file is read from a copy whose last name byte is a NUL,
# and the name taken from the file itself.
sub load {
    my ($path) = @_;
    open(my $in, '<:raw', $path) or return undef;
    local $/;
    my $bytes = <$in>;
    close $in;
    my $name;
    if (length($bytes) >= 32 && index(substr($bytes, 0, 32), "\0") < 0) {
        $name = substr($bytes, 0, 32);
        substr($bytes, 31, 1) = "\0";
    }
    open(my $copy, '<:raw', \$bytes) or return undef;
    my $pdb = Palm::PDB->new;
    eval { $pdb->Load($copy) };
    return undef if $@;
    $pdb->{name} = $name if defined $name;
    return $pdb;
}

sub files {
    my ($dir) = @_;
    opendir(my $d, $dir) or return ();
    my @names = sort grep { -f "$dir/$_" && !/^\./ && !/\.~sm$/ } readdir $d;
    closedir $d;
    return @names;
}

# The backup files by the database name they hold.
my %backups;
for my $file (files($backup)) {
    my $pdb = load("$backup/$file");
    if (!$pdb) { push @problems, "$file: Palm::PDB cannot read it"; next; }
    push @problems, "$file and $backups{$pdb->{name}}{file} hold the same database"
        if $backups{$pdb->{name}};
    $backups{$pdb->{name}} = { file => $file, pdb => $pdb };
}

sub same {
    my ($db, $what, $got, $want) = @_;
    $got = 'undef' unless defined $got;
    $want = 'undef' unless defined $want;
    push @problems, "$db: $what is '$got', the handheld's '$want'" unless $got eq $want;
}

sub flags {
    my ($attributes, @names) = @_;
    return join ',', grep { $attributes && $attributes->{$_} } @names;
}

my @header = qw(ResDB ReadOnly AppInfoDirty Backup OKToInstallNewer ResetAfterInstall
                CopyPrevention Stream Hidden LaunchableData Recyclable Bundle Open);
my $matched = 0;
for my $file (files($handheld)) {
    my $want = load("$handheld/$file") or do {
        push @problems, "$file: the handheld's file cannot be read"; next;
    };
    my $name = $want->{name};
    next if $excluded{$name};
    my $entry = delete $backups{$name};
    if (!$entry) { push @problems, "$name: no backup file"; next; }
    my $got = $entry->{pdb};
    my $db = "$name ($entry->{file})";

    my %attributes = %{ $want->{attributes} || {} };
    delete $attributes{Open};
    delete $attributes{ReadOnly} if $rom;
    same($db, 'attributes', flags($got->{attributes}, @header), flags(\%attributes, @header));
    for my $field (qw(version ctime mtime baktime modnum type creator)) {
        next if $field eq 'baktime' && $lagging && $got->{$field} <= $want->{$field};
        same($db, $field, $got->{$field}, $want->{$field});
    }
    same($db, 'AppInfo block', unpack('H*', $got->{appinfo} // ''),
         unpack('H*', $want->{appinfo} // ''));

    my $list = $want->{attributes}{ResDB} ? 'resources' : 'records';
    my @want = @{ $want->{$list} || [] };
    my @got = @{ $got->{$list} || [] };
    same($db, "number of $list", scalar @got, scalar @want);
    for my $i (0 .. $#want) {
        my ($w, $g) = ($want[$i], $got[$i] // {});
        my $at = "$db $list #$i";
        same($at, 'data', unpack('H*', $g->{data} // ''), unpack('H*', $w->{data} // ''));
        if ($list eq 'resources') {
            same($at, 'type', $g->{type}, $w->{type});
            same($at, 'id', $g->{id}, $w->{id});
            next;
        }
        same($at, 'unique ID', $g->{id}, $w->{id});
        my %a = %{ $w->{attributes} || {} };
        # An archived record is kept as a deleted one: marked for removal, not for the archive.
        if (delete $a{archive}) { $a{expunged} = $a{Delete} = 1; }
        my @record = qw(expunged dirty deleted private archive Delete Dirty Busy Secret);
        same($at, 'attributes', flags($g->{attributes}, @record), flags(\%a, @record));
        same($at, 'category', $g->{category}, $w->{category});
    }
    $matched++;
}
push @problems, "$backups{$_}{file}: holds $_, which the handheld does not have" for sort keys %backups;

print "$_\n" for @problems;
print "$matched databases match\n";
exit(@problems ? 1 : 0);
